// The summary log's line forms, GlobalErrorsLog's outputs, and the session
// statistics in the INI file shared with the suite's other programs.
#include <gtest/gtest.h>

#include "platform/profiles.h"
#include "support/log_capture.h"
#include "trace/module_values.h"
#include "trace/summary_log.h"

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;
using testing::TraceHarness;

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
  GlobalSummaryLog(OLESTR("src"), OLESTR("traced"), false, true, true, true);  // level 1
  EXPECT_TRUE(h.traced("src", "traced"));
  EXPECT_EQ(h.detail_lines().size(), 1u);

  // A message that begins with NUL goes to the detail log as it is, unstamped.
  const OLECHAR nul[] = {0, u'z'};
  const std::string summary = testing::read_file(h.summary_log());
  GlobalSummaryLog(OLESTR("src"), OleStringView(nul, 2), true, true, true, true);
  EXPECT_EQ(testing::read_file(h.summary_log()), summary);
  const std::string detail = testing::read_file(h.detail_log());
  EXPECT_EQ(detail, h.stamped("src", "traced") + std::string("\t\0z\r\n", 5));

  module_values().summary_log_path.clear();  // no summary log: nothing written
  WriteToSummaryLog(OLESTR("nowhere"));
  EXPECT_EQ(testing::read_file(h.summary_log()), summary);
}

TEST(SummaryLog, GlobalErrorsLogOutputs) {
  TraceHarness h;
  h.init();
  module_values().log_folder.clear();
  GlobalErrorsLog(OLESTR("m.r"), OLESTR("no folder"), 2, true, true);
  EXPECT_FALSE(fs::exists(h.folder.path() / "summary.log"));
  EXPECT_FALSE(fs::exists(h.folder.path() / "detailErrors.log"));

  h.init();
  GlobalErrorsLog(OLESTR("m.r"), OLESTR("with folder"), 3, true, true);
  EXPECT_EQ(testing::read_file(h.summary_log()), "\r\n" + h.stamped("m.r", "\twith folder"));
  EXPECT_TRUE(h.errors_logged("m.r", "with folder", 3));
  EXPECT_EQ(h.error_records(),
            std::vector<std::string>{testing::error_record({.severity = "3",
                                                            .errorNumber = "0",
                                                            .errorDescription = "with folder",
                                                            .module = "*",
                                                            .member = "Unknown"})});
  GlobalErrorsLog(OLESTR("m.r"), OLESTR("no copies"), 2, false, false);
  EXPECT_EQ(testing::count_of(testing::read_file(h.summary_log()), "no copies"), 0u);
  EXPECT_EQ(h.error_records().size(), 1u);

  // A message that starts with NUL: its trace line, then the message itself.
  const OLECHAR nul[] = {0, u'z'};
  const std::string summary = testing::read_file(h.summary_log());
  GlobalErrorsLog(OLESTR("m.r"), OleStringView(nul, 2), 2, true, true);
  const std::string detail = testing::read_file(h.detail_log());
  EXPECT_EQ(detail.substr(detail.size() - 5), std::string("\t\0z\r\n", 5));
  EXPECT_EQ(testing::read_file(h.summary_log()), summary);
  EXPECT_EQ(h.error_records().size(), 1u);
  EXPECT_FALSE(fs::exists(h.folder.path() / "Session.ini"));  // no counter is raised
}

TEST(SummaryLog, ScriptComparisonCopy) {
  TraceHarness h;
  h.init();
  const OleString copy = h.folder.file("compare.log");
  WriteSessionStat(16, copy);
  GlobalErrorsLog(OLESTR("m.r"), OLESTR("first"), 2, false, false);
  GlobalErrorsLog(OLESTR("m.s"), OLESTR("second"), 2, true, false);
  EXPECT_EQ(testing::read_file(copy), "\r\nm.r\tfirst\r\n\r\nm.s\tsecond\r\n");

  // A copy that cannot be written: the summary line still lands, the
  // failure goes to the detail log unstamped, and nothing is raised.
  TraceHarness h2;
  h2.init();
  WriteSessionStat(16, h2.folder.file("gone/compare.log"));
  GlobalErrorsLog(OLESTR("m.r"), OLESTR("kept"), 2, true, false);
  EXPECT_EQ(testing::read_file(h2.summary_log()), "\r\n" + h2.stamped("m.r", "\tkept"));
  const std::string detail = testing::read_file(h2.detail_log());
  EXPECT_EQ(detail.substr(detail.find("\r\n") + 2),
            "\tError in GlobalErrorsLog >>\tError 76: \r\nPath not found\r\n");
}

TEST(SessionStats, CountersInTheIniFile) {
  TraceHarness h;
  h.init();
  IncrementFieldCount(4);
  IncrementFieldCount(4);
  IncrementFieldCount(5);
  EXPECT_EQ(sfnReadSessionStat(4), OLESTR("2"));
  EXPECT_EQ(sfnReadSessionStat(5), OLESTR("1"));
  EXPECT_EQ(testing::read_file(h.folder.file("Session.ini")),
            "[SessionStats]\r\nSeverity2Count=2\r\nSeverity3Count=1\r\n");

  // Another program increments in turn, writing its own way.
  platform::Profiles::current().write(h.folder.file("Session.ini"), OLESTR("sessionstats"),
                                      OLESTR("SEVERITY2COUNT"), OLESTR("41"));
  IncrementFieldCount(4);
  EXPECT_EQ(sfnReadSessionStat(4), OLESTR("42"));
  IncrementFieldCount(14);
  IncrementFieldCount(6);
  EXPECT_EQ(sfnReadSessionStat(14), OLESTR("1"));
  EXPECT_EQ(sfnReadSessionStat(6), OLESTR("1"));
  EXPECT_FALSE(fs::exists(h.folder.path() / "PossibleErrors.log"));
}

TEST(SessionStats, FailedIncrementsGoToPossibleErrors) {
  struct Row {
    std::int32_t field;
    const char* stored;  // before the increment, and after it
    std::string record;  // in PossibleErrors.log, up to the line number
  };
  const Row rows[] = {
      {7, "",
       "09:05:03\tmodVBTrace.IncrementFieldCount\r\nError -1\r\n"
       "Unexpected field type passed to IncrementFieldCount: 7\r\nAt line "},
      {14, "many", "Error 13\r\nType mismatch\r\nAt line "},
      {4, "2147483647", "Error 6\r\nOverflow\r\nAt line "},
  };
  for (const Row& row : rows) {
    TraceHarness h;
    h.init();
    if (*row.stored != '\0') WriteSessionStat(row.field, testing::wide(row.stored));
    IncrementFieldCount(row.field);
    EXPECT_EQ(testing::narrow(sfnReadSessionStat(row.field)), row.stored);
    const std::string errors = testing::read_file(h.folder.file("PossibleErrors.log"));
    EXPECT_EQ(testing::count_of(errors, "\tmodVBTrace.IncrementFieldCount\r\n"), 1u) << errors;
    EXPECT_NE(errors.find(row.record), std::string::npos) << errors;
    EXPECT_EQ(errors.substr(errors.size() - 2), "\r\n");
  }
}

TEST(SessionStats, PathsAndLongValues) {
  TraceHarness h;
  // No log folder: nothing read or written.
  EXPECT_EQ(sfnSessionStatIniName(), OLESTR(""));
  WriteSessionStat(7, OLESTR("machine"));
  EXPECT_EQ(sfnReadSessionStat(7), OLESTR(""));

  h.init();
  EXPECT_EQ(sfnSessionStatIniName(), testing::ole_path(h.folder.path()) + OLESTR("\\Session.ini"));
  WriteSessionStat(17, OleString(300, u'v'));
  EXPECT_EQ(sfnReadSessionStat(17), OleString(254, u'v'));
  EXPECT_EQ(sfnSessionStatFieldName(19), OLESTR(""));  // no such field
  EXPECT_EQ(sfnSessionStatFieldName(-1), OLESTR(""));
  // The INI path stays where it was first found.
  module_values().log_folder = OLESTR("elsewhere");
  EXPECT_EQ(sfnSessionStatIniName(), testing::ole_path(h.folder.path()) + OLESTR("\\Session.ini"));

  for (const OLECHAR* path :
       {OLESTR("C:\\Logs\\Detail.log"), OLESTR("/x/Detail.log"), OLESTR("Detail.log")}) {
    module_values().detail_log_path = path;
    EXPECT_EQ(sfnDetailLogName(), OLESTR("Detail.log"));
  }
}

}  // namespace
}  // namespace corvane::modVBTrace
