// Functions of other libraries, loaded when called (the runtime's Declare):
// found beside the component first, then where the system looks.
#pragma once

#include <cstdint>
#include <string_view>

#include "automation/ole_types.h"

namespace corvane::platform {

// Calls `function(text, a, b)` of `library` (a function taking an ANSI string
// and two 32-bit integers, stdcall on Windows). 0 when called; otherwise the
// runtime's error: 53 when the library cannot be loaded, 453 when it has no
// such function.
std::int32_t call_library_function(OleStringView library, const char* function,
                                   std::string_view text, std::int32_t a, std::int32_t b);

// Calls `function(argument)` of `library` (a function taking and giving a
// 32-bit integer) and stores what it gives in `result`; 0, 53 or 453 as above.
std::int32_t call_library_function(OleStringView library, const char* function,
                                   std::int32_t argument, std::int32_t& result);

}  // namespace corvane::platform
