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
#include <vector>

#include "automation/ole_types.h"

namespace corvane::platform {

// 1 when `first` sorts before `second`, 2 when they are equal, 3 when it
// sorts after; 0 when the comparison fails (CompareStringW's results).
int compare_strings(OleStringView first, OleStringView second);

// Appends the system's sort key of `text` for the comparison above to `key`:
// bytes without a 0 among them, then one 0. Two texts compare as their keys
// compare byte by byte (as unsigned bytes, the shorter first on a tie), which
// the tests check against compare_strings for the text the lookups index.
// False, with `key` as it was, when the system gives no key.
bool append_sort_key(OleStringView text, std::vector<unsigned char>& key);

// Whether making a search target's sort key pays off against the
// comparisons it saves: on Windows a comparison is a call into the system's
// locale tables, which a key comparison (a memcmp) beats many times over, so
// one key for about ten comparisons is a gain; ICU's comparison has a fast
// path for Latin text, so on Linux a key made for one search costs more
// than the comparisons it saves (the entries' keys, made once, still pay).
bool sort_keys_pay_off();

// Lowercases `length` code units in place.
void lowercase_in_place(OLECHAR* text, std::size_t length);

// Writes the lowercase of `length` code units of `text` to `out`.
void lowercase_copy(const OLECHAR* text, std::size_t length, OLECHAR* out);

OleString lowercase(OleStringView text);

}  // namespace corvane::platform
