#include "tools/report/session_stats.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "automation/vb_text.h"
#include "tools/report/log_text.h"
#include "trace/summary_log.h"

namespace corvane::report {

namespace {

std::string_view trimmed(std::string_view s) {
  const std::size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

bool same_name(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The fields IncrementFieldCount counts in (the severity counters and the
// dictations uploaded) and the dictations' total duration.
constexpr std::int32_t kCounters[] = {4, 5, 6, 14, 15};

}  // namespace

std::vector<SessionStat> read_session_stats(std::string_view ini_bytes) {
  std::vector<std::pair<std::string, std::string>> keys;
  bool in_section = false;
  for (std::size_t at = 0; at < ini_bytes.size();) {
    std::size_t end = ini_bytes.find('\n', at);
    if (end == std::string_view::npos) end = ini_bytes.size();
    const std::string_view line = trimmed(ini_bytes.substr(at, end - at));
    at = end + 1;
    if (!line.empty() && line.front() == '[') {
      const std::size_t close = line.find(']');
      in_section = close != std::string_view::npos &&
                   same_name(trimmed(line.substr(1, close - 1)), "SessionStats");
    } else if (const std::size_t eq = line.find('='); in_section && eq != std::string_view::npos) {
      const std::string_view key = trimmed(line.substr(0, eq));
      const bool seen = std::any_of(keys.begin(), keys.end(),
                                    [&](const auto& k) { return same_name(k.first, key); });
      if (!seen) keys.emplace_back(key, decode_log_bytes(trimmed(line.substr(eq + 1))));
    }
  }
  std::vector<SessionStat> stats;
  std::vector<bool> used(keys.size());
  for (std::int32_t f = 0; f < modVBTrace::kSessionStatFields; ++f) {
    SessionStat stat{
        to_utf8(modVBTrace::sfnSessionStatFieldName(f)),
        {},
        std::find(std::begin(kCounters), std::end(kCounters), f) != std::end(kCounters)};
    for (std::size_t k = 0; k < keys.size(); ++k) {
      if (!used[k] && same_name(keys[k].first, stat.name)) {
        stat.value = keys[k].second;
        used[k] = true;
        break;
      }
    }
    stats.push_back(std::move(stat));
  }
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (!used[k]) stats.push_back({decode_log_bytes(keys[k].first), keys[k].second, false});
  }
  return stats;
}

}  // namespace corvane::report
