// The runtime's string statements that the component's routines are written
// in: 1-based positions, InStr with binary or text comparison, Trim of blanks,
// decimal text of numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "automation/ole_types.h"

namespace corvane {

enum class CompareMode { kBinary, kText };

// Position (1-based) of `target` in `text` at or after `start`, or 0.
std::size_t instr(OleStringView text, OleStringView target, std::size_t start = 1,
                  CompareMode mode = CompareMode::kBinary);

// The text without leading and trailing blanks (U+0020 only, as Trim does).
OleStringView trim_blanks(OleStringView text);

// Decimal text of a number, as the runtime's & operator writes it.
OleString to_text(std::int64_t value);

// UTF-16 text of a plain ASCII literal or a UTF-8 string.
OleString from_utf8(std::string_view utf8);
// UTF-8 bytes of UTF-16 text; an unpaired surrogate becomes '?'.
std::string to_utf8(OleStringView text);
// The same bytes appended to `out`.
void append_utf8(std::string& out, OleStringView text);

}  // namespace corvane
