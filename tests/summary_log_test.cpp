// The summary log's line forms, GlobalErrorsLog's outputs, and the session
// statistics in the INI file shared with the suite's other programs.
#include <gtest/gtest.h>

#include "platform/profiles.h"
#include "support/log_capture.h"
#include "trace/summary_log.h"

namespace corvane::modVBTrace {
namespace {

using namespace testing;

// A message that begins with NUL.
const OLECHAR kNul[] = {0, u'z'};
const std::string kNulLine("\t\0z\r\n", 5);

// The one place the summary line's forms are pinned.
TEST(SummaryLog, LineFormsToTheByte) {
  TraceHarness h(2);
  GlobalSummaryLog(OLESTR("src"), OLESTR("stamped"), false, true, true, false);
  GlobalSummaryLog(OLESTR("src"), OLESTR("broken"), true, true, true, false);
  GlobalSummaryLog(OLESTR("src"), OLESTR("bare"), false, true, false, false);
  GlobalSummaryLog(OLESTR("src"), OLESTR("bare broken"), true, true, false, false);
  const std::string summary =
      "02-01-26 09:05:03.007\tCorvane\tsrc: \tstamped\r\n"
      "\r\n02-01-26 09:05:03.007\tCorvane\tsrc: \tbroken\r\n\t\tbare\r\n\r\n\t\tbare broken\r\n";
  EXPECT_EQ(read_file(h.summary_log()), summary);
  EXPECT_TRUE(h.detail_lines().empty());
  GlobalSummaryLog(OLESTR("src"), OLESTR("traced"), false, true, true, true);  // level 1
  EXPECT_EQ(h.detail_lines().size(), 1u);
  // A message that begins with NUL goes to the detail log as it is, unstamped.
  GlobalSummaryLog(OLESTR("src"), OleStringView(kNul, 2), true, true, true, true);
  EXPECT_EQ(read_file(h.detail_log()), h.stamped("src", "traced") + kNulLine);

  module_values().summary_log_path.clear();  // no summary log: nothing written
  WriteToSummaryLog(OLESTR("nowhere"));
  EXPECT_EQ(read_file(h.summary_log()), summary + h.stamped("src", "\ttraced"));
  EXPECT_EQ(h.detail_lines().size(), 2u);
}

// Without a log folder only the trace line; with one the summary line and
// the record as asked for, and a copy for the script comparison when its
// path is among the session statistics (a copy that cannot be written
// leaves an unstamped line in the detail log).
TEST(SummaryLog, GlobalErrorsLogOutputs) {
  TraceHarness h(2);
  module_values().log_folder.clear();
  GlobalErrorsLog(OLESTR("m.r"), OLESTR("no folder"), 2, true, true);
  EXPECT_TRUE(h.errors_logged("m.r", "no folder"));
  EXPECT_FALSE(fs::exists(h.folder.path() / "summary.log"));
  EXPECT_FALSE(fs::exists(h.folder.path() / "detailErrors.log"));

  h.init();
  const OleString copy = h.folder.file("compare.log");
  WriteSessionStat(16, copy);
  GlobalErrorsLog(OLESTR("m.r"), OLESTR("with folder"), 3, true, true);
  EXPECT_EQ(read_file(h.summary_log()), "\r\n" + h.stamped("m.r", "\twith folder"));
  EXPECT_TRUE(h.errors_logged("m.r", "with folder", 3));
  // clang-format off
  EXPECT_EQ(h.error_records(), std::vector{error_record({.severity = "3", .errorNumber = "0",
      .errorDescription = "with folder", .module = "*", .member = "Unknown"})});
  // clang-format on
  GlobalErrorsLog(OLESTR("m.s"), OLESTR("no copies"), 2, false, false);
  EXPECT_EQ(count_of(read_file(h.summary_log()), "no copies"), 0u);
  EXPECT_EQ(h.error_records().size(), 1u);

  // A message that starts with NUL: its trace line, then the message itself.
  const std::string summary = read_file(h.summary_log());
  GlobalErrorsLog(OLESTR("m.r"), OleStringView(kNul, 2), 2, true, true);
  EXPECT_TRUE(read_file(h.detail_log()).ends_with(kNulLine));
  EXPECT_EQ(read_file(h.summary_log()), summary);
  EXPECT_EQ(h.error_records().size(), 1u);
  EXPECT_EQ(read_file(copy), "\r\nm.r\twith folder\r\n\r\nm.s\tno copies\r\n");

  module_values().script_comparison_log_path = h.folder.file("gone/compare.log");
  GlobalErrorsLog(OLESTR("m.r"), OLESTR("kept"), 2, true, false);
  EXPECT_EQ(count_of(read_file(h.summary_log()), "\tkept\r\n"), 1u);
  EXPECT_TRUE(
      read_file(h.detail_log())
          .ends_with("\r\n\tError in GlobalErrorsLog >>\tError 76: \r\nPath not found\r\n"));
}

TEST(SessionStats, CountersInTheIniFile) {
  TraceHarness h(2);
  for (const std::int32_t field : {4, 4, 5}) IncrementFieldCount(field);
  EXPECT_EQ(sfnReadSessionStat(4) + sfnReadSessionStat(5), OLESTR("21"));
  EXPECT_EQ(read_file(h.folder.file("Session.ini")),
            "[SessionStats]\r\nSeverity2Count=2\r\nSeverity3Count=1\r\n");

  // Another program increments in turn, writing its own way.
  platform::Profiles::current().write(h.folder.file("Session.ini"), OLESTR("sessionstats"),
                                      OLESTR("SEVERITY2COUNT"), OLESTR("41"));
  for (const std::int32_t field : {4, 14, 6}) IncrementFieldCount(field);
  EXPECT_EQ(sfnReadSessionStat(4) + sfnReadSessionStat(14) + sfnReadSessionStat(6), OLESTR("4211"));
  EXPECT_FALSE(fs::exists(h.folder.path() / "PossibleErrors.log"));
}

TEST(SessionStats, FailedIncrementsGoToPossibleErrors) {
  // The field, what it holds before the increment and after it, and the
  // error in the record PossibleErrors.log gets.
  // clang-format off
  const std::tuple<std::int32_t, const char*, std::string> rows[] = {
      {7, "", "-1\r\nUnexpected field type passed to IncrementFieldCount: 7"},
      {14, "many", "13\r\nType mismatch"}, {4, "2147483647", "6\r\nOverflow"},
      {5, "3000000000", "6\r\nOverflow"}};
  // clang-format on
  for (const auto& [field, stored, record] : rows) {
    TraceHarness h(2);
    if (*stored != '\0') WriteSessionStat(field, wide(stored));
    IncrementFieldCount(field);
    EXPECT_EQ(narrow(sfnReadSessionStat(field)), stored);
    EXPECT_EQ(h.masked("PossibleErrors.log"),
              "09:05:03\tmodVBTrace.IncrementFieldCount\r\nError " + record + "\r\nAt line N\r\n");
  }
}

TEST(SessionStats, Paths) {
  TraceHarness h;
  EXPECT_EQ(sfnSessionStatIniName(), OLESTR(""));  // no log folder

  h.init();
  const OleString ini = ole_path(h.folder.path()) + OLESTR("\\Session.ini");
  EXPECT_EQ(sfnSessionStatIniName(), ini);
  EXPECT_EQ(sfnSessionStatFieldName(19) + sfnSessionStatFieldName(-1), OLESTR(""));  // no such
  // The INI path stays where it was first found.
  module_values().log_folder = OLESTR("elsewhere");
  EXPECT_EQ(sfnSessionStatIniName(), ini);

  for (const OLECHAR* path :
       {OLESTR("C:\\Logs\\Detail.log"), OLESTR("/x/Detail.log"), OLESTR("Detail.log")}) {
    module_values().detail_log_path = path;
    EXPECT_EQ(sfnDetailLogName(), OLESTR("Detail.log"));
  }
}

}  // namespace
}  // namespace corvane::modVBTrace
