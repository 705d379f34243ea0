// The runtime's numeric test of text (IsNumeric on a string).
#pragma once

#include "automation/ole_types.h"

namespace corvane::platform {

// True when the runtime would convert the text to a number.
bool is_numeric_text(OleStringView text);

}  // namespace corvane::platform
