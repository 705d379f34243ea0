#include <ctime>

#include "platform/clock.h"

namespace corvane::platform {

namespace {

class PosixClock final : public Clock {
 public:
  LocalTime local_time() override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm parts{};
    localtime_r(&now.tv_sec, &parts);
    return LocalTime{static_cast<std::uint16_t>(parts.tm_year + 1900),
                     static_cast<std::uint16_t>(parts.tm_mon + 1),
                     static_cast<std::uint16_t>(parts.tm_wday),
                     static_cast<std::uint16_t>(parts.tm_mday),
                     static_cast<std::uint16_t>(parts.tm_hour),
                     static_cast<std::uint16_t>(parts.tm_min),
                     static_cast<std::uint16_t>(parts.tm_sec),
                     static_cast<std::uint16_t>(now.tv_nsec / 1000000)};
  }
  // The text rules here are those of an English (United States) user.
  std::string time_separator() override { return ":"; }
};

void append_number(std::string& out, unsigned value, std::size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) out.append(width - digits.size(), '0');
  out += digits;
}

// The picture elements of GetDateFormat and GetTimeFormat that carry numbers
// (d, dd, M, MM, y, yy, yyyy, h, hh, H, HH, m, mm, s, ss); text in single
// quotes and every other character are copied as they stand.
std::string format_picture(const LocalTime& t, const char* picture) {
  std::string out;
  for (const char* p = picture; *p != '\0';) {
    const char c = *p;
    std::size_t run = 1;
    while (p[run] == c) ++run;
    switch (c) {
      case 'd':
        append_number(out, t.day, run >= 2 ? 2 : 1);
        break;
      case 'M':
        append_number(out, t.month, run >= 2 ? 2 : 1);
        break;
      case 'y':
        if (run >= 4)
          append_number(out, t.year, 4);
        else
          append_number(out, t.year % 100, run >= 2 ? 2 : 1);
        break;
      case 'H':
        append_number(out, t.hour, run >= 2 ? 2 : 1);
        break;
      case 'h':
        append_number(out, (t.hour % 12 == 0) ? 12 : t.hour % 12, run >= 2 ? 2 : 1);
        break;
      case 'm':
        append_number(out, t.minute, run >= 2 ? 2 : 1);
        break;
      case 's':
        append_number(out, t.second, run >= 2 ? 2 : 1);
        break;
      case '\'': {
        const char* end = p + 1;
        while (*end != '\0' && *end != '\'') ++end;
        out.append(p + 1, end);
        p = *end == '\0' ? end : end + 1;
        continue;
      }
      default:
        out.append(run, c);
        break;
    }
    p += run;
  }
  return out;
}

// The result as a buffer of 25 characters (the NUL included) holds it, as on
// Windows, where a longer one makes the formatting fail and give nothing.
std::string fitted(std::string text) {
  return text.size() < 25 ? text : std::string();
}

}  // namespace

Clock& Clock::system() {
  static PosixClock clock;
  return clock;
}

std::string format_date(const LocalTime& t, const char* picture) {
  return fitted(format_picture(t, picture));
}

std::string format_time(const LocalTime& t, const char* picture) {
  return fitted(format_picture(t, picture));
}

}  // namespace corvane::platform
