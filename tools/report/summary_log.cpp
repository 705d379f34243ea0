#include "tools/report/summary_log.h"

#include <optional>

namespace corvane::report {

namespace {

constexpr std::size_t kStampLength = 21;  // "MM-dd-yy HH:mm:ss.mmm"

// Calls `each(line, previous_was_empty)` for every line (CR LF or LF ended).
template <typename Each>
void for_each_line(std::string_view bytes, Each each) {
  bool previous_empty = false;
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t end = bytes.find('\n', at);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    each(line, previous_empty);
    previous_empty = line.empty();
    at = end + 1;
  }
}

std::optional<SummaryLine> summary_line(std::string_view line) {
  const std::optional<LogTime> time = parse_stamp(line);
  if (!time || line.size() <= kStampLength || line[kStampLength] != '\t') return std::nullopt;
  const std::string_view rest = line.substr(kStampLength + 1);
  const std::size_t tab = rest.find('\t');
  const std::size_t colon = tab == std::string_view::npos ? tab : rest.find(": \t", tab + 1);
  if (colon == std::string_view::npos) return std::nullopt;
  SummaryLine s;
  s.time = *time;
  s.process = decode_log_bytes(rest.substr(0, tab));
  s.source = decode_log_bytes(rest.substr(tab + 1, colon - tab - 1));
  s.message = decode_log_bytes(rest.substr(colon + 3));
  return s;
}

}  // namespace

std::vector<SummaryLine> read_summary_log(std::string_view bytes) {
  std::vector<SummaryLine> lines;
  for_each_line(bytes, [&](std::string_view line, bool after_empty) {
    if (std::optional<SummaryLine> s = summary_line(line)) {
      s->error = after_empty;
      lines.push_back(std::move(*s));
    }
  });
  return lines;
}

bool is_summary_log(std::string_view bytes) {
  std::size_t stamped = 0, summary = 0;
  for_each_line(bytes, [&](std::string_view line, bool) {
    if (!parse_stamp(line)) return;
    ++stamped;
    if (summary_line(line)) ++summary;
  });
  return summary > 0 && 2 * summary >= stamped;
}

}  // namespace corvane::report
