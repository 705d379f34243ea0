// Local time and the user's time separator.
#pragma once

#include <cstdint>
#include <string>

#include "platform/replaceable.h"

namespace corvane::platform {

// The fields of a SYSTEMTIME record.
struct LocalTime {
  std::uint16_t year;
  std::uint16_t month;
  std::uint16_t day_of_week;
  std::uint16_t day;
  std::uint16_t hour;
  std::uint16_t minute;
  std::uint16_t second;
  std::uint16_t milliseconds;
};

class Clock : public Replaceable<Clock> {
 public:
  virtual ~Clock() = default;
  virtual LocalTime local_time() = 0;
  // The user's time separator (the colon of the runtime's "hh:nn:ss").
  virtual std::string time_separator() = 0;

  static Clock& system();
};

}  // namespace corvane::platform
