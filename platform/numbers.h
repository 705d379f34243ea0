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

// True when the runtime would convert the text to a number.
bool is_numeric_text(OleStringView text);

// The text as a 32-bit integer: fractions round to the nearest integer,
// halves to the even one. Nothing when the text is not a number or lies
// outside the 32-bit range.
std::optional<std::int32_t> long_from_text(OleStringView text);

}  // namespace corvane::platform
