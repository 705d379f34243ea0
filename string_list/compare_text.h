// What the lookups share: the one text comparison, the lowercasing of the
// two sides, the binary search's midpoint, and fetching its next probes ahead.
#pragma once

#include <array>
#include <cstdint>

#include "automation/ole_types.h"

namespace corvane {

// CompareStringW on the system default locale with SORT_STRINGSORT, minus 2:
// -1 when sFirst sorts before sSecond, 0 when equal, 1 after, -2 when the
// comparison fails. Case-sensitive: callers lowercase both sides first.
std::int32_t lfnCompareText(OleStringView sFirst, OleStringView sSecond);

[[noreturn]] void throw_midpoint_overflow();

// Lowercases a text of the Latin blocks (U+0000 to U+024F) character by
// character, as the system does; false as soon as a character lies beyond
// them (`out` is then partly written).
bool lowercase_latin(const OLECHAR* text, std::size_t length, OLECHAR* out);

// sum / 2 rounded to the nearest integer, halves to the even one.
inline std::int64_t half_to_even(std::int64_t sum) {
  // sum / 2 is a whole number or lies halfway: a half goes to the even side.
  std::int64_t half = sum >= 0 ? sum / 2 : -((-sum + 1) / 2);  // floor
  if ((sum & 1) != 0 && (half & 1) != 0) ++half;
  return half;
}

// (lLow + lHigh) / 2 rounded to the nearest integer, halves to the even one;
// the sum is 32-bit, so bounds near the limit overflow (error 6).
inline std::int32_t binary_search_midpoint(std::int32_t lLow, std::int32_t lHigh) {
  const std::int64_t sum = static_cast<std::int64_t>(lLow) + lHigh;
  if (sum < INT32_MIN || sum > INT32_MAX) throw_midpoint_overflow();
  return static_cast<std::int32_t>(half_to_even(sum));
}

// The cells of a one-dimensional list, for fetching entries ahead of the
// search. Only a hint to the processor: a cell outside the array is never
// read, and a prefetch of a wrong address cannot fault.
class ProbePrefetcher {
 public:
  explicit ProbePrefetcher(const SAFEARRAY* list) {
    if (list != nullptr && list->cDims == 1 && list->pvData != nullptr) {
      cells_ = static_cast<const BSTR*>(list->pvData);
      lower_ = list->rgsabound[0].lLbound;
      count_ = list->rgsabound[0].cElements;
    }
  }

  // The two probes that can follow lMid in [lLow, lHigh]: the midpoints of
  // the halves on either side, fetched while this probe is compared.
  void next_probes(std::int32_t lLow, std::int32_t lMid, std::int32_t lHigh) const {
    if (lLow < lMid) fetch(half_to_even(std::int64_t{lLow} + lMid - 1));
    if (lMid < lHigh) fetch(half_to_even(std::int64_t{lMid} + 1 + lHigh));
  }

 private:
  void fetch(std::int64_t index) const {
    const std::int64_t offset = index - lower_;
    if (offset >= 0 && offset < count_) {
      // From the length in front of the text (a null entry gives an address
      // that is never touched).
      __builtin_prefetch(
          reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(cells_[offset]) - 4));
    }
  }

  const BSTR* cells_ = nullptr;
  std::int64_t lower_ = 0;
  std::int64_t count_ = 0;
};

// A lowercased copy of a text, kept in the object's own storage for texts up
// to 256 characters so that a search probe allocates nothing.
class LowercaseText {
 public:
  LowercaseText() = default;
  explicit LowercaseText(OleStringView text) { assign(text); }
  LowercaseText(const LowercaseText&) = delete;
  LowercaseText& operator=(const LowercaseText&) = delete;

  OleStringView assign(OleStringView text);
  OleStringView view() const { return view_; }
  // Whether the text lay in the Latin blocks (U+0000 to U+024F), so that its
  // lowercase does too.
  bool latin() const { return latin_; }

 private:
  std::array<OLECHAR, 256> inline_;  // filled before it is read
  OleString heap_;
  OleStringView view_;
  bool latin_ = true;
};

}  // namespace corvane
