// Conversion of automation text to the system's ANSI code page, as the
// runtime's file output and the ANSI system calls see it (UTF-8 on systems
// without code pages). Characters the code page lacks become '?'.
#pragma once

#include <string>

#include "automation/ole_types.h"

namespace corvane::platform {

std::string to_ansi(OleStringView text);
// Appends the ANSI form of `text` to `out`, for callers that build one buffer.
void append_ansi(std::string& out, OleStringView text);
OleString from_ansi(std::string_view bytes);

}  // namespace corvane::platform
