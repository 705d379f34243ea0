#include "platform/clock.h"

#include "automation/ole_types.h"

namespace corvane::platform {

namespace {

class Win32Clock final : public Clock {
 public:
  LocalTime local_time() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return LocalTime{st.wYear, st.wMonth,  st.wDayOfWeek, st.wDay,
                     st.wHour, st.wMinute, st.wSecond,    st.wMilliseconds};
  }
  std::string time_separator() override {
    char separator[8] = {};  // at most three characters and the terminator
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, sizeof separator) > 0
               ? std::string(separator)
               : std::string(":");
  }
};

SYSTEMTIME as_systemtime(const LocalTime& t) {
  SYSTEMTIME st{};
  st.wYear = t.year;
  st.wMonth = t.month;
  st.wDayOfWeek = t.day_of_week;
  st.wDay = t.day;
  st.wHour = t.hour;
  st.wMinute = t.minute;
  st.wSecond = t.second;
  st.wMilliseconds = t.milliseconds;
  return st;
}

// Formats into a buffer of 25 characters, as the trace library's callers size it.
std::string from_buffer(const char* buffer, int written) {
  return written > 0 ? std::string(buffer, static_cast<std::size_t>(written - 1)) : std::string();
}

}  // namespace

Clock& Clock::system() {
  static Win32Clock clock;
  return clock;
}

std::string format_date(const LocalTime& t, const char* picture) {
  const SYSTEMTIME st = as_systemtime(t);
  char buffer[25] = {};
  return from_buffer(buffer, GetDateFormatA(0, 0, &st, picture, buffer, sizeof buffer));
}

std::string format_time(const LocalTime& t, const char* picture) {
  const SYSTEMTIME st = as_systemtime(t);
  char buffer[25] = {};
  return from_buffer(buffer, GetTimeFormatA(0, 0, &st, picture, buffer, sizeof buffer));
}

}  // namespace corvane::platform
