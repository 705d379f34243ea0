// The summary log's line forms, GlobalErrorsLog's outputs, and the session
// statistics in the INI file shared with the suite's other programs.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/profiles.h"
#include "support/log_capture.h"
#include "trace/module_values.h"
#include "trace/summary_log.h"

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;
using testing::TraceHarness;

std::string ini(const TraceHarness& h) {
  return testing::read_file(h.folder.file("Session.ini"));
}

TEST(SummaryLog, LineFormsToTheByte) {
  TraceHarness h;
  h.init();
  GlobalSummaryLog(OLESTR("src"), OLESTR("stamped"), false, true, true, false);
  GlobalSummaryLog(OLESTR("src"), OLESTR("broken"), true, true, true, false);
  GlobalSummaryLog(OLESTR("src"), OLESTR("bare"), false, true, false, false);
  GlobalSummaryLog(OLESTR("src"), OLESTR("bare broken"), true, true, false, false);
  EXPECT_EQ(testing::read_file(h.summary_log()),
            "02-01-26 09:05:03.007\tCorvane\tsrc: \tstamped\r\n"
            "\r\n02-01-26 09:05:03.007\tCorvane\tsrc: \tbroken\r\n"
            "\t\tbare\r\n"
            "\r\n\t\tbare broken\r\n");
  EXPECT_TRUE(h.detail_lines().empty());
  // Also traced at level 1, with or without the prefix.
  GlobalSummaryLog(OLESTR("src"), OLESTR("traced"), false, true, true, true);
  EXPECT_EQ(h.detail_lines(),
            std::vector<std::string>{"02-01-26 09:05:03.007\tCorvane\tsrc: traced"});
}

TEST(SummaryLog, GlobalErrorsLogOutputs) {
  TraceHarness h;
  h.init();
  module_values().log_folder.clear();
  GlobalErrorsLog(OLESTR("m.r"), OLESTR("no folder"), 2, true, true);
  EXPECT_FALSE(fs::exists(h.folder.path() / "summary.log"));

  h.init();
  GlobalErrorsLog(OLESTR("m.r"), OLESTR("with folder"), 2, true, true);
  EXPECT_EQ(testing::read_file(h.summary_log()),
            "\r\n02-01-26 09:05:03.007\tCorvane\tm.r: \twith folder\r\n");
  const auto lines = h.detail_lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1],
            "02-01-26 09:05:03.007\tCorvane\tmodVBTrace.GlobalErrorsLog: GlobalErrorsLog >>> "
            "m.r\twith folder\tSeverity: 2");
  EXPECT_EQ(lines[2],
            "02-01-26 09:05:03.007\tCorvane\tmodVBTrace.WriteErrorNode: Attempting to open: " +
                testing::narrow(h.errors_file_as_logged()));

  // A message that starts with NUL: its trace line, then the message itself.
  const OLECHAR nul[] = {0, u'z'};
  GlobalErrorsLog(OLESTR("m.r"), OleStringView(nul, 2), 2, true, true);
  const std::string detail = testing::read_file(h.detail_log());
  EXPECT_EQ(detail.substr(detail.size() - 5), std::string("\t\0z\r\n", 5));
  EXPECT_EQ(testing::read_file(h.summary_log()),
            "\r\n02-01-26 09:05:03.007\tCorvane\tm.r: \twith folder\r\n");
  // No counter is raised by a logged error.
  EXPECT_FALSE(fs::exists(h.folder.path() / "Session.ini"));
}

TEST(SummaryLog, ScriptComparisonCopy) {
  TraceHarness h;
  h.init();
  const OleString copy = h.folder.file("compare.log");
  WriteSessionStat(16, copy);
  GlobalErrorsLog(OLESTR("m.r"), OLESTR("first"), 2, false, false);
  GlobalErrorsLog(OLESTR("m.s"), OLESTR("second"), 2, false, false);
  EXPECT_EQ(testing::read_file(copy), "\r\nm.r\tfirst\r\n\r\nm.s\tsecond\r\n");
}

TEST(SummaryLog, MissingFolderTracesTheLostLine) {
  TraceHarness h;
  h.init();
  module_values().summary_log_path = h.folder.file("gone/summary.log");
  GlobalSummaryLog(OLESTR("src"), OLESTR("lost"), false, true, false, false);
  EXPECT_EQ(h.detail_lines(), std::vector<std::string>{
                                  "02-01-26 09:05:03.007\tCorvane\tmodVBTrace.WriteToSummaryLog: "
                                  "Couldn't open log. Msg = \t\tlost"});
}

TEST(SessionStats, CountersInTheIniFile) {
  TraceHarness h;
  h.init();
  IncrementFieldCount(4);
  IncrementFieldCount(4);
  IncrementFieldCount(5);
  EXPECT_EQ(sfnReadSessionStat(4), OLESTR("2"));
  EXPECT_EQ(sfnReadSessionStat(5), OLESTR("1"));
  EXPECT_EQ(ini(h), "[SessionStats]\r\nSeverity2Count=2\r\nSeverity3Count=1\r\n");

  // Another program increments in turn, writing its own way.
  platform::Profiles::current().write(h.folder.file("Session.ini"), OLESTR("sessionstats"),
                                      OLESTR("SEVERITY2COUNT"), OLESTR("41"));
  IncrementFieldCount(4);
  EXPECT_EQ(sfnReadSessionStat(4), OLESTR("42"));
  EXPECT_FALSE(fs::exists(h.folder.path() / "PossibleErrors.log"));
}

TEST(SessionStats, FailuresGoToPossibleErrors) {
  TraceHarness h;
  h.init();
  IncrementFieldCount(7);
  WriteSessionStat(14, OLESTR("many"));
  IncrementFieldCount(14);
  EXPECT_EQ(sfnReadSessionStat(14), OLESTR("many"));
  EXPECT_EQ(sfnReadSessionStat(7), OLESTR(""));
  const std::string errors = testing::read_file(h.folder.file("PossibleErrors.log"));
  const std::string first =
      "09:05:03\tmodVBTrace.IncrementFieldCount\r\nError -1\r\n"
      "Unexpected field type passed to IncrementFieldCount: 7\r\nAt line ";
  const std::string second =
      "09:05:03\tmodVBTrace.IncrementFieldCount\r\nError 13\r\nType mismatch\r\nAt line ";
  EXPECT_EQ(errors.rfind(first, 0), 0u) << errors;
  EXPECT_NE(errors.find("\r\n" + second), std::string::npos) << errors;
  EXPECT_EQ(errors.substr(errors.size() - 2), "\r\n");
}

TEST(SessionStats, NamesPathsAndLongValues) {
  TraceHarness h;
  EXPECT_EQ(sfnSessionStatFieldName(0), OLESTR("SessionStartDate"));
  EXPECT_EQ(sfnSessionStatFieldName(14), OLESTR("NumDictationsUploaded"));
  EXPECT_EQ(sfnSessionStatFieldName(18), OLESTR("Realm"));
  EXPECT_EQ(sfnSessionStatFieldName(19), OLESTR(""));
  EXPECT_EQ(sfnSessionStatFieldName(-1), OLESTR(""));

  // No log folder: nothing read or written.
  EXPECT_EQ(sfnSessionStatIniName(), OLESTR(""));
  WriteSessionStat(7, OLESTR("machine"));
  EXPECT_EQ(sfnReadSessionStat(7), OLESTR(""));

  h.init();
  EXPECT_EQ(sfnSessionStatIniName(), testing::ole_path(h.folder.path()) + OLESTR("\\Session.ini"));
  const OleString long_value(300, u'v');
  WriteSessionStat(17, long_value);
  EXPECT_EQ(sfnReadSessionStat(17), OleString(254, u'v'));
  // The INI path stays where it was first found.
  module_values().log_folder = OLESTR("elsewhere");
  EXPECT_EQ(sfnSessionStatIniName(), testing::ole_path(h.folder.path()) + OLESTR("\\Session.ini"));

  module_values().detail_log_path = OLESTR("C:\\Logs\\Detail.log");
  EXPECT_EQ(sfnDetailLogName(), OLESTR("Detail.log"));
  module_values().detail_log_path = OLESTR("Detail.log");
  EXPECT_EQ(sfnDetailLogName(), OLESTR("Detail.log"));
  module_values().detail_log_path.clear();
  EXPECT_EQ(sfnDetailLogName(), OLESTR(""));
}

}  // namespace
}  // namespace corvane::modVBTrace
