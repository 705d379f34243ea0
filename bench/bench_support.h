// What the benchmark programs share: heap allocation and system call
// counting, the sorted word lists, filling a string list, a scratch folder.
#pragma once

#include <filesystem>
#include <functional>
#include <numeric>
#include <vector>

#include "automation/ole_types.h"
#include "string_list/clsStringList.h"

// Heap allocations made by the process so far (every malloc, calloc, realloc).
long allocation_count();

// The system calls `work` makes, counted in a child process in which every
// system call is trapped (and fails): up to 200, or -1 where the kernel
// refuses to trap them.
long system_calls_of(const std::function<void()>& work);

// N distinct words (letters, digits, blanks, punctuation, accents) of 6 to 20
// characters, in the order the text search needs; built once per N.
const std::vector<corvane::OleString>& sorted_words(std::size_t n);

// The same for words of 200 to 256 characters: the longest a search probe
// lowercases without a heap allocation.
const std::vector<corvane::OleString>& sorted_long_words(std::size_t n);

// Puts the words into the list as a String() array with lower bound 0.
void fill(corvane::clsStringList& list, const std::vector<corvane::OleString>& words);

// A walk over the indexes of a list of n entries that visits every one in
// turn, each step about 0.618 n along (the golden ratio), so that two
// consecutive lookups share as little of the search path as they can.
class Walk {
 public:
  explicit Walk(std::size_t n) : n_(n), step_(n * 618 / 1000 + 1) {
    while (std::gcd(step_, n_) != 1) ++step_;
  }
  std::size_t index() const { return i_; }
  void next() { i_ = (i_ + step_) % n_; }

 private:
  std::size_t n_;
  std::size_t step_;
  std::size_t i_ = 0;
};

// A folder for the benchmarks' log files (CORVANE_BENCH_DIR, else a folder
// in the system's temporary folder), created on first use.
const std::filesystem::path& scratch_folder();
