// What the page shows, worked out from the files: the errors grouped by
// source and error number, the figures of the summary line, the summary log's
// error times and the session statistics.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/report/error_table.h"
#include "tools/report/log_folder.h"
#include "tools/report/session_stats.h"
#include "tools/report/summary_log.h"

namespace corvane::report {

struct ErrorGroup {
  std::string source;           // component.module.member
  std::string number;           // the error number as written ("" when none)
  int count = 0;                // the records' counts added up
  std::vector<int> severities;  // the severities seen, ascending (0: none given)
  std::optional<LogTime> first, last;
  int cut = 0;                             // records cut short
  std::vector<const ErrorEntry*> records;  // in time order (untimed last)
};

// Groups by source and error number: the group with the most severe (lowest)
// severity first, then the larger count, then by source and number.
std::vector<ErrorGroup> group_errors(const std::vector<ErrorEntry>& entries);

// The groups point into `entries`: a Report is moved, never copied.
struct Report {
  Report() = default;
  Report(Report&&) = default;
  Report(const Report&) = delete;
  std::vector<ErrorEntry> entries;
  std::vector<ErrorGroup> groups;  // over `entries`
  std::vector<SummaryLine> summary;
  std::vector<SessionStat> stats;  // empty without Session.ini
  LogFiles files;
  int errors = 0;                      // the records' counts added up
  int severity1 = 0;                   // of them, of severity 1
  int cut = 0;                         // records cut short
  std::optional<LogTime> first, last;  // over the records and the summary's error lines
};

// Reads every file found in the folder.
Report build_report(const std::filesystem::path& folder);

}  // namespace corvane::report
