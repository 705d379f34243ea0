// The runtime's date test for text (IsDate on a string), with the user's
// locale: a date (month, day and year in the locale's order, with "/", "-" or
// "." between them, or with the month's name), a time (hours and minutes,
// optional seconds, optional AM or PM), or a date followed by a time. On
// Windows it is oleaut32's own conversion.
#pragma once

#include "automation/ole_types.h"

namespace corvane::platform {

// True when the runtime would convert the text to a date.
bool is_date_text(OleStringView text);

}  // namespace corvane::platform
