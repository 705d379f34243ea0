// Local time and its formatting with date and time pictures.
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

// The date formatted with a picture of the user's default locale
// (GetDateFormatA: "MM-dd-yy" gives 02-01-26 for 1 February 2026).
std::string format_date(const LocalTime& t, const char* picture);
// The time formatted with a picture (GetTimeFormatA: "HH:mm:ss").
// Both format into a buffer of 25 characters: a result of more than 24
// characters does not fit and gives the empty text.
std::string format_time(const LocalTime& t, const char* picture);

}  // namespace corvane::platform
