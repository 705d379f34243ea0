// The runtime's number rules for text, with the user's locale: the numeric
// test (IsNumeric on a string) and the conversion to a 32-bit integer
// (VarI4FromStr). Both accept blanks around the number, a leading or
// trailing sign, parentheses for a negative number, the locale's thousands
// separator, decimal point and currency symbol, an exponent, and &H / &O for
// hexadecimal and octal. On Windows they are oleaut32's own functions.
#pragma once

#include <cstdint>
#include <optional>

#include "automation/ole_types.h"

namespace corvane::platform {

// True when the runtime would convert the text to a number (a double: a
// value beyond its range, such as 1e400, is no number).
bool is_numeric_text(OleStringView text);

// Converts the text to a 32-bit integer: fractions round to the nearest
// integer, halves to the even one. Returns 0 and stores the result in
// `value`, or the runtime error the conversion raises: 13 (Type mismatch)
// when the text is no number, 6 (Overflow) when its value lies outside the
// 32-bit range.
std::int32_t convert_to_long(OleStringView text, std::int32_t& value);

// The converted value; nothing when the conversion fails either way.
std::optional<std::int32_t> long_from_text(OleStringView text);

// The converted value, or the conversion's error raised (the runtime's CLng).
std::int32_t long_from_text_or_raise(OleStringView text);

}  // namespace corvane::platform
