#include "tools/report/svg_charts.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "tools/report/html_text.h"

namespace corvane::report {

namespace {

constexpr int kWidth = 560, kHeight = 220, kLeft = 40, kBottom = 40, kTop = 24;
constexpr std::string_view kRecordColour = "#2f6db5", kSummaryColour = "#d9822b";

std::string num(long long v) {
  return std::to_string(v);
}

// The smallest slot width, from seconds to years, that spreads the span over
// at most `slots` slots.
std::int64_t slot_width(std::int64_t span, int slots) {
  static constexpr std::int64_t kWidths[] = {1,     5,     10,     30,      60,      300,
                                             600,   900,   1800,   3600,    7200,    21600,
                                             43200, 86400, 604800, 2592000, 31536000};
  for (const std::int64_t w : kWidths) {
    if (span / w < slots) return w;
  }
  return span / slots + 1;
}

std::string slot_label(std::int64_t width) {
  if (width < 60) return num(width) + " s";
  if (width < 3600) return num(width / 60) + " min";
  if (width < 86400) return num(width / 3600) + " h";
  return num(width / 86400) + " d";
}

}  // namespace

std::string timeline_svg(const std::vector<LogTime>& records, const std::vector<LogTime>& summary) {
  if (records.empty() && summary.empty()) return "<p class=\"none\">No timed errors.</p>";
  std::vector<LogTime> all = records;
  all.insert(all.end(), summary.begin(), summary.end());
  const auto [lo, hi] = std::minmax_element(all.begin(), all.end());
  const std::int64_t width = slot_width(hi->seconds - lo->seconds, 40);
  // The slot's start at or before the first moment (times before 1970 too).
  const std::int64_t start = lo->seconds - ((lo->seconds % width) + width) % width;
  // At least a dozen slots, so that a burst shows as bars, not as a wall.
  const auto slots =
      std::max<std::size_t>(12, static_cast<std::size_t>((hi->seconds - start) / width + 1));
  std::vector<int> counts[2] = {std::vector<int>(slots), std::vector<int>(slots)};
  const std::vector<LogTime>* series[2] = {&records, &summary};
  for (int s = 0; s < 2; ++s) {
    for (const LogTime& t : *series[s]) ++counts[s][(t.seconds - start) / width];
  }
  int top = 1;
  for (const auto& c : counts) top = std::max(top, *std::max_element(c.begin(), c.end()));
  const int plot_w = kWidth - kLeft - 10, plot_h = kHeight - kTop - kBottom;
  const double slot_px = static_cast<double>(plot_w) / static_cast<double>(slots);
  const double bar_px = std::min(slot_px * 0.4, 16.0);
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"timeline\" width=\"" +
                    num(kWidth) + "\" height=\"" + num(kHeight) + "\" viewBox=\"0 0 " +
                    num(kWidth) + " " + num(kHeight) + "\" role=\"img\">";
  svg += "<line x1=\"" + num(kLeft) + "\" y1=\"" + num(kTop + plot_h) + "\" x2=\"" +
         num(kLeft + plot_w) + "\" y2=\"" + num(kTop + plot_h) + "\" stroke=\"#888\"/>";
  svg += "<text x=\"" + num(kLeft - 4) + "\" y=\"" + num(kTop + 4) + "\" text-anchor=\"end\">" +
         num(top) + "</text><text x=\"" + num(kLeft - 4) + "\" y=\"" + num(kTop + plot_h) +
         "\" text-anchor=\"end\">0</text>";
  for (std::size_t i = 0; i < slots; ++i) {
    for (int s = 0; s < 2; ++s) {
      if (counts[s][i] == 0) continue;
      const int h = std::max(1, counts[s][i] * plot_h / top);
      const double x = kLeft + slot_px * (static_cast<double>(i) + 0.5) + bar_px * (s - 1);
      const LogTime from{start + static_cast<std::int64_t>(i) * width};
      svg += "<rect class=\"" + std::string(s == 0 ? "records" : "summary") + "\" x=\"" +
             std::to_string(x) + "\" y=\"" + num(kTop + plot_h - h) + "\" width=\"" +
             std::to_string(bar_px) + "\" height=\"" + num(h) + "\" fill=\"" +
             std::string(s == 0 ? kRecordColour : kSummaryColour) + "\" data-count=\"" +
             num(counts[s][i]) + "\"><title>" + from.text() + " (" + slot_label(width) +
             "): " + num(counts[s][i]) + "</title></rect>";
    }
  }
  const LogTime end{start + static_cast<std::int64_t>(slots) * width};
  svg += "<text x=\"" + num(kLeft) + "\" y=\"" + num(kTop + plot_h + 14) + "\">" +
         LogTime{start}.text() + "</text><text x=\"" + num(kLeft + plot_w) + "\" y=\"" +
         num(kTop + plot_h + 14) + "\" text-anchor=\"end\">" + end.text() + "</text>";
  svg += "<rect x=\"" + num(kLeft) + "\" y=\"" + num(kHeight - 16) +
         "\" width=\"10\" height=\"10\" fill=\"" + std::string(kRecordColour) + "\"/><text x=\"" +
         num(kLeft + 14) + "\" y=\"" + num(kHeight - 7) + "\">error table records (" +
         num(static_cast<long long>(records.size())) + ")</text>";
  svg += "<rect x=\"" + num(kLeft + 220) + "\" y=\"" + num(kHeight - 16) +
         "\" width=\"10\" height=\"10\" fill=\"" + std::string(kSummaryColour) + "\"/><text x=\"" +
         num(kLeft + 234) + "\" y=\"" + num(kHeight - 7) + "\">summary log error lines (" +
         num(static_cast<long long>(summary.size())) + "), per " + slot_label(width) + "</text>";
  return svg + "</svg>";
}

std::string stats_svg(const std::vector<SessionStat>& stats) {
  struct Bar {
    std::string name;
    long long value;
  };
  std::vector<Bar> bars;
  for (const SessionStat& s : stats) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(s.value.data(), s.value.data() + s.value.size(), value);
    if (s.counter && ec == std::errc() && end == s.value.data() + s.value.size() && value >= 0)
      bars.push_back({s.name, value});
  }
  if (bars.empty()) return "<p class=\"none\">No counters recorded.</p>";
  long long top = 1;
  for (const Bar& b : bars) top = std::max(top, b.value);
  constexpr int kLabel = 170, kBarMax = 300, kRow = 24;
  const int height = static_cast<int>(bars.size()) * kRow + 8;
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"stats\" width=\"" +
                    num(kLabel + kBarMax + 70) + "\" height=\"" + num(height) + "\" role=\"img\">";
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const int y = static_cast<int>(i) * kRow + 4;
    const long long w =
        std::max<long long>(bars[i].value > 0 ? 1 : 0, bars[i].value * kBarMax / top);
    svg += "<text x=\"" + num(kLabel - 6) + "\" y=\"" + num(y + 14) + "\" text-anchor=\"end\">" +
           html_escape(bars[i].name) + "</text><rect x=\"" + num(kLabel) + "\" y=\"" + num(y) +
           "\" width=\"" + num(w) + "\" height=\"18\" fill=\"#2f6db5\" data-name=\"" +
           html_escape(bars[i].name) + "\" data-value=\"" + num(bars[i].value) + "\"/><text x=\"" +
           num(kLabel + w + 6) + "\" y=\"" + num(y + 14) + "\">" + num(bars[i].value) + "</text>";
  }
  return svg + "</svg>";
}

}  // namespace corvane::report
