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

}  // namespace

Clock& Clock::system() {
  static PosixClock clock;
  return clock;
}

}  // namespace corvane::platform
