#include "tools/report/model.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace corvane::report {

namespace {

void widen(std::optional<LogTime>& first, std::optional<LogTime>& last, const LogTime& t) {
  if (!first || t < *first) first = t;
  if (!last || *last < t) last = t;
}

}  // namespace

std::vector<ErrorGroup> group_errors(const std::vector<ErrorEntry>& entries) {
  std::map<std::pair<std::string, std::string>, ErrorGroup> by_key;
  for (const ErrorEntry& e : entries) {
    ErrorGroup& g = by_key[{e.source(), e.number}];
    g.source = e.source();
    g.number = e.number;
    g.count += e.count_number();
    g.cut += e.cut ? 1 : 0;
    if (std::find(g.severities.begin(), g.severities.end(), e.severity_number()) ==
        g.severities.end())
      g.severities.push_back(e.severity_number());
    if (e.time) widen(g.first, g.last, *e.time);
    g.records.push_back(&e);
  }
  std::vector<ErrorGroup> groups;
  for (auto& [key, g] : by_key) {
    std::sort(g.severities.begin(), g.severities.end());
    std::stable_sort(g.records.begin(), g.records.end(), [](const auto* a, const auto* b) {
      return a->time && (!b->time || *a->time < *b->time);
    });
    groups.push_back(std::move(g));
  }
  // A severity of 0 (none given) sorts after every real one.
  auto worst = [](const ErrorGroup& g) {
    return g.severities.front() == 0 && g.severities.size() > 1 ? g.severities[1]
           : g.severities.front() == 0                          ? 1000
                                                                : g.severities.front();
  };
  std::stable_sort(groups.begin(), groups.end(), [&](const ErrorGroup& a, const ErrorGroup& b) {
    return std::make_tuple(worst(a), -a.count) < std::make_tuple(worst(b), -b.count);
  });
  return groups;
}

Report build_report(const std::filesystem::path& folder) {
  Report r;
  r.files = find_log_files(folder);
  for (const auto& file : r.files.error_tables) {
    std::vector<ErrorEntry> read =
        read_error_table(read_file_bytes(file), file.filename().string());
    std::move(read.begin(), read.end(), std::back_inserter(r.entries));
  }
  for (const auto& file : r.files.summary_logs) {
    std::vector<SummaryLine> read = read_summary_log(read_file_bytes(file));
    std::move(read.begin(), read.end(), std::back_inserter(r.summary));
  }
  if (r.files.session_ini) r.stats = read_session_stats(*r.files.session_ini);
  for (const ErrorEntry& e : r.entries) {
    r.errors += e.count_number();
    if (e.severity_number() == 1) r.severity1 += e.count_number();
    r.cut += e.cut ? 1 : 0;
    if (e.time) widen(r.first, r.last, *e.time);
  }
  for (const SummaryLine& s : r.summary) {
    if (s.error) widen(r.first, r.last, s.time);
  }
  r.groups = group_errors(r.entries);
  return r;
}

}  // namespace corvane::report
