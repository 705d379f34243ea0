// What the benchmark programs share: heap allocation counting, the sorted
// word lists, filling a string list.
#pragma once

#include <vector>

#include "automation/ole_types.h"
#include "string_list/clsStringList.h"

// Heap allocations made by the process so far (every malloc, calloc, realloc).
long allocation_count();

// N distinct words (letters, digits, blanks, punctuation, accents) in the
// order the text search needs; built once per N.
const std::vector<corvane::OleString>& sorted_words(std::size_t n);

// Puts the words into the list as a String() array with lower bound 0.
void fill(corvane::clsStringList& list, const std::vector<corvane::OleString>& words);
