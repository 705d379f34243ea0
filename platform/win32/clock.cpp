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

}  // namespace

Clock& Clock::system() {
  static Win32Clock clock;
  return clock;
}

}  // namespace corvane::platform
