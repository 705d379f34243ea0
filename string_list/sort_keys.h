// Sort keys in place of the comparison: an exact search compares the
// system's sort keys of the lowercased entries, made once with the index,
// against the key of its target, which costs little more than a memcmp
// where the comparison costs a system call or a walk through the collation
// tables. Keys stand in only where they answer as the comparison does: for
// texts of the Latin blocks, and only when this process found the system's
// keys to agree with its comparison.
#pragma once

#include <cstring>
#include <vector>

#include "automation/ole_types.h"

namespace corvane {

// Whether keys may stand in for the comparison: the system's keys order a
// built-in set of words (punctuation, blanks, digits, accents, case, the
// letters that expand) exactly as its comparison does, every pair of them.
// Asked of the system once per process.
bool sort_keys_trusted();

// -1, 0 or 1 as key `a` orders before, with or after key `b` (keys end in
// their one 0 byte).
inline int compare_sort_keys(const unsigned char* a, const unsigned char* b) {
  const int c = std::strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
  return (c > 0) - (c < 0);
}

// Appends the key of `text` to `keys` when it is one the searches may use
// (a 0 only at its end); false, with `keys` as it was, otherwise.
bool append_usable_sort_key(OleStringView text, std::vector<unsigned char>& keys);

}  // namespace corvane
