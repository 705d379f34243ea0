// The report's reading of a log folder: the error table as it may be found
// (cut short, unclosed, ANSI text), the time stamps, the summary log, the
// session statistics, where the files are looked for, and the grouping.
#include <gtest/gtest.h>

#include "support/log_capture.h"
#include "tools/report/error_table.h"
#include "tools/report/log_folder.h"
#include "tools/report/model.h"
#include "tools/report/session_stats.h"
#include "tools/report/summary_log.h"

namespace corvane::report {
namespace {

using testing::error_record;
using testing::ErrorRecord;
using testing::kErrorsHeading;

// A record as the library writes it, by source and number.
std::string record(const std::string& module, const std::string& number,
                   const std::string& severity = "2",
                   const std::string& when = "02/01/2026 09:05:03",
                   const std::string& description = "d") {
  // clang-format off
  return error_record({.firstOccurrence = when, .severity = severity, .errorNumber = number,
                       .errorDescription = description, .component = "C", .module = module,
                       .member = "m"});
  // clang-format on
}

// Each record read, as "source number severity [description] cut?".
std::vector<std::string> read(const std::string& bytes) {
  std::vector<std::string> out;
  for (const ErrorEntry& e : read_error_table(bytes, "f")) {
    out.push_back(e.source() + " " + e.number + " " + e.severity + " [" + e.description + "]" +
                  (e.cut ? " cut" : ""));
  }
  return out;
}

TEST(ReportErrorTable, ReadsWhatCanBeRead) {
  const std::string a = record("A", "5"), b = record("B", "6", "1");
  const std::string e9 = "\xE9", cut_in_value = a.substr(0, a.find("</errorDescription>"));
  struct Row {
    std::string file;
    std::vector<std::string> records;
  };
  const Row rows[] = {
      {kErrorsHeading + a + b, {"C.A.m 5 2 [d]", "C.B.m 6 1 [d]"}},
      {kErrorsHeading + a + "</Errors>\r\n", {"C.A.m 5 2 [d]"}},
      {kErrorsHeading, {}},
      // cut in a value, in a tag, right after the opening; the next record
      // follows on the same line
      {cut_in_value + b, {"?.?.? 5 2 [d] cut", "C.B.m 6 1 [d]"}},
      {a.substr(0, a.find("<severity>") + 4), {"?.?.?   [] cut"}},
      {"    <error>" + b, {"?.?.?   [] cut", "C.B.m 6 1 [d]"}},
      {a.substr(0, a.find("</error>") - 2), {"C.A.m 5 2 [d] cut"}},
      // entities, then ANSI and UTF-8 text, a byte Windows-1252 lacks
      {record("A", "5", "2", "x", "&lt;b&gt; &amp;amp; &quot;&apos;&#233;&#x41;&bogus;&#12a;"),
       {"C.A.m 5 2 [<b> &amp; \"'\xC3\xA9"
        "A&bogus;&#12a;]"}},
      {record("A", "5", "2", "x", "caf" + e9 + " caf\xC3\xA9 \x81 \x80"),
       {"C.A.m 5 2 [caf\xC3\xA9 caf\xC3\xA9 \xEF\xBF\xBD \xE2\x82\xAC]"}},
      {record("", "", ""), {"C.?.m   [d]"}},
  };
  for (const Row& row : rows) EXPECT_EQ(read(row.file), row.records) << row.file;
}

TEST(ReportErrorTable, KeepsEachRecordsTextAndTime) {
  const std::string a = record("A", "5"), b = record("B", "6", "2", "13/01/2026 09:05:03");
  const std::vector<ErrorEntry> entries = read_error_table(a.substr(0, 40) + b, "x");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].text, a.substr(0, 40));
  EXPECT_EQ("    " + entries[1].text + "\r\n", b);  // its line holds the torn one
  EXPECT_FALSE(entries[0].time);
  EXPECT_FALSE(entries[1].time);  // month 13
  EXPECT_EQ(read_error_table(a, "x")[0].time->text(), "2026-02-01 09:05:03");
}

TEST(ReportTimes, BothStampForms) {
  const std::pair<std::string, std::string> error_times[] = {
      {"12/31/1999 23:59:59", "1999-12-31 23:59:59"},
      {"02/29/2028 00:00:00", "2028-02-29 00:00:00"},
      {"2/1/2026 09:05:03", ""},
      {"02-01-2026 09:05:03", ""},
      {"02/01/2026 24:00:00", ""},
      {"02/01/2026 09:05:03x", ""},
      {"02/01/2026 09:60:00", ""}};
  for (const auto& [text, shown] : error_times) {
    const auto t = parse_error_time(text);
    EXPECT_EQ(t ? t->text() : "", shown) << text;
  }
  const std::pair<std::string, std::string> stamps[] = {
      {"02-01-26 09:05:03.007\tx", "2026-02-01 09:05:03"},
      {"02-01-29 09:05:03.007", "2029-02-01 09:05:03"},
      {"02-01-30 09:05:03.007", "1930-02-01 09:05:03"},
      {"02-01-26 09:05:03", ""},
      {"00-01-26 09:05:03.007", ""}};
  for (const auto& [text, shown] : stamps) {
    const auto t = parse_stamp(text);
    EXPECT_EQ(t ? t->text() : "", shown) << text;
  }
}

TEST(ReportSummaryLog, ErrorLinesFollowAnEmptyLine) {
  const std::string log =
      "\r\n02-01-26 09:05:03.007\tCorvane\tm.r: \tfirst\r\n"
      "02-01-26 09:06:00.000\tCorvane\tm.s: \tnot an error\r\n"
      "second line of a message\r\n\r\n"
      "02-01-26 09:07:00.000\tCorvane\tm.t: \tthird: \tpart\r\n"
      "02-01-26 09:08:00.000\tCorvane\tdetail.form: text\r\n";
  std::vector<std::string> lines;
  for (const SummaryLine& s : read_summary_log(log)) {
    lines.push_back(s.time.text() + (s.error ? " E " : " - ") + s.process + "|" + s.source + "|" +
                    s.message);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"2026-02-01 09:05:03 E Corvane|m.r|first",
                                             "2026-02-01 09:06:00 - Corvane|m.s|not an error",
                                             "2026-02-01 09:07:00 E Corvane|m.t|third: \tpart"}));
  EXPECT_TRUE(is_summary_log(log));
  // half of the stamped lines in the summary form is enough
  EXPECT_TRUE(
      is_summary_log("02-01-26 09:08:00.000\tCorvane\tdetail.form: text\r\n"
                     "02-01-26 09:08:00.000\tCorvane\tsummary.form: \ttab\r\n"));
  EXPECT_FALSE(
      is_summary_log("02-01-26 09:08:00.000\tCorvane\tdetail.form: text\r\n"
                     "02-01-26 09:08:00.000\tCorvane\tdetail.form: \ttab\r\n"
                     "02-01-26 09:08:00.000\tCorvane\tdetail.form: more\r\n"));
}

TEST(ReportSessionStats, FieldsInTheLibrarysOrder) {
  testing::TempFolder folder;
  folder.put("Session.ini",
             "[Other]\r\nSeverity2Count=9\r\n[SessionStats]\r\nSeverity2Count=3\r\n"
             "Machine=box\r\n[Later]\r\nUser=u\r\n");
  const std::vector<SessionStat> stats = read_session_stats(folder.path() / "Session.ini");
  ASSERT_EQ(stats.size(), 19u);
  EXPECT_EQ(stats[0].name, "SessionStartDate");
  EXPECT_EQ(stats[4].name + "=" + stats[4].value, "Severity2Count=3");
  EXPECT_EQ(stats[7].name + "=" + stats[7].value, "Machine=box");
  EXPECT_EQ(stats[8].value, "");  // User is in another section
  std::string counters;
  for (const SessionStat& s : stats) counters += s.counter ? s.name + " " : "";
  EXPECT_EQ(counters,
            "Severity2Count Severity3Count Severity4Count NumDictationsUploaded "
            "TotalDictationDurations ");
}

TEST(ReportLogFolder, FindsTheFilesOfEachLayout) {
  struct Row {
    std::vector<std::string> files;  // under the folder
    std::string asked;               // the folder named, under the temporary one
    std::string found;               // error tables | summary logs | ini
  };
  const std::string table = kErrorsHeading + record("A", "5");
  const std::string summary = "\r\n02-01-26 09:05:03.007\tCorvane\tm.r: \tfirst\r\n";
  const std::string detail = "02-01-26 09:05:03.007\tCorvane\tm.r: text\r\n";
  const Row rows[] = {
      {{"Logs/detail.log", "Logs/summary.log", "Logs/Session.ini", "Errors/detailErrors.log"},
       "",
       "Errors/detailErrors.log|Logs/summary.log|Logs/Session.ini"},
      {{"Logs/detail.log", "Logs/summary.log", "Errors/detailErrors.log"},
       "Logs/",
       "Errors/detailErrors.log|Logs/summary.log|"},
      {{"detail.log", "detailErrors.log", "PossibleErrors.log", "summary.log", "report.html"},
       "",
       "detailErrors.log|summary.log|"},
  };
  for (const Row& row : rows) {
    testing::TempFolder folder;
    for (const std::string& f : row.files) {
      std::filesystem::create_directories((folder.path() / f).parent_path());
      const bool is_table = f.ends_with("detailErrors.log"),
                 is_summary = f.ends_with("summary.log");
      folder.put(f, is_table ? table : is_summary ? summary : f.ends_with(".ini") ? "" : detail);
    }
    const LogFiles found = find_log_files(folder.path() / row.asked);
    auto name = [&](const std::filesystem::path& p) {
      return std::filesystem::relative(p, folder.path()).generic_string();
    };
    std::string text;
    for (const auto& p : found.error_tables) text += name(p);
    text += "|";
    for (const auto& p : found.summary_logs) text += name(p);
    text += "|" + (found.session_ini ? name(*found.session_ini) : "");
    EXPECT_EQ(text, row.found) << row.asked;
  }
}

TEST(ReportGroups, BySourceAndNumberMostSevereFirst) {
  const std::string file =
      record("A", "5", "2", "02/01/2026 10:00:00") + record("B", "5", "1", "02/01/2026 09:00:00") +
      record("A", "5", "3", "02/01/2026 08:00:00") + record("A", "6", "2", "02/01/2026 11:00:00") +
      record("A", "6", "2", "02/01/2026 07:00:00") + record("A", "6", "x", "bad") +
      record("A", "5").substr(0, 60);
  const std::vector<ErrorEntry> entries = read_error_table(file, "f");
  std::vector<std::string> groups;
  for (const ErrorGroup& g : group_errors(entries)) {
    std::string severities;
    for (const int s : g.severities) severities += std::to_string(s);
    groups.push_back(g.source + " " + g.number + " x" + std::to_string(g.count) + " s" +
                     severities + " " + (g.first ? g.first->text() : "-") + " " +
                     (g.last ? g.last->text() : "-") + " cut" + std::to_string(g.cut) +
                     " first:" + (g.records.front()->time ? g.records.front()->time->text() : "-"));
  }
  EXPECT_EQ(groups, (std::vector<std::string>{
                        "C.B.m 5 x1 s1 2026-02-01 09:00:00 2026-02-01 09:00:00 cut0 first:"
                        "2026-02-01 09:00:00",
                        "C.A.m 6 x3 s02 2026-02-01 07:00:00 2026-02-01 11:00:00 cut0 first:"
                        "2026-02-01 07:00:00",
                        "C.A.m 5 x2 s23 2026-02-01 08:00:00 2026-02-01 10:00:00 cut0 first:"
                        "2026-02-01 08:00:00",
                        "?.?.?  x1 s0 2026-02-01 09:05:03 2026-02-01 09:05:03 cut1 first:"
                        "2026-02-01 09:05:03"}));
}

}  // namespace
}  // namespace corvane::report
