// The page's charts as inline SVG: the errors over time and the session
// statistics' counters.
#pragma once

#include <string>
#include <vector>

#include "tools/report/log_text.h"
#include "tools/report/session_stats.h"

namespace corvane::report {

// Two series of moments (the error table's records, the summary log's error
// lines) counted in equal time slots over their common span, side by side.
std::string timeline_svg(const std::vector<LogTime>& records, const std::vector<LogTime>& summary);

// One horizontal bar per counter whose value is a whole number.
std::string stats_svg(const std::vector<SessionStat>& stats);

}  // namespace corvane::report
