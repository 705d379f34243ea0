// The system's text comparison and lowercase mapping, as the lookups use
// them: CompareStringW with the system default locale and SORT_STRINGSORT
// (punctuation and symbols compared as characters, not ignored), and the
// runtime's lowercase mapping (LCase: one code unit for one).
//
// On Windows these are the system's own calls. Elsewhere the comparison is
// ICU collation for the environment's locale (the root collation for the
// C/POSIX locale), tailored so that punctuation, symbols and the letters
// that expand (ß, æ, œ) sort as Windows sorts them.
#pragma once

#include <cstddef>

#include "automation/ole_types.h"

namespace corvane::platform {

// 1 when `first` sorts before `second`, 2 when they are equal, 3 when it
// sorts after; 0 when the comparison fails (CompareStringW's results).
int compare_strings(OleStringView first, OleStringView second);

// Lowercases `length` code units in place.
void lowercase_in_place(OLECHAR* text, std::size_t length);

// Writes the lowercase of `length` code units of `text` to `out`.
void lowercase_copy(const OLECHAR* text, std::size_t length, OLECHAR* out);

OleString lowercase(OleStringView text);

}  // namespace corvane::platform
