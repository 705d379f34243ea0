// What the running program is called in log lines and how time stamps are
// written.
#pragma once

#include <cstdint>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

// "Corvane" once Init has run; before that the component's own file name
// without extension (stored on first use).
OleString sfnProcessName();

// Local date and time: "MM-dd-yy HH:mm:ss.fff".
OleString SystemTimeStamp();

// The text before its first NUL character (all of it when there is none).
OleString StripNulls(OleStringView sText);

// How many characters follow the last occurrence of `sTarget` within the last
// `lTailLength` characters of `sText` (all of it when negative); 0 when not
// found or when the target is the very last character.
std::int32_t lfnBackwardsInstr(OleStringView sText, OleStringView sTarget,
                               std::int32_t lTailLength);

}  // namespace corvane::modVBTrace
