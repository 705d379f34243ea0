// What the lookups share: the one text comparison, the lowercasing of the
// two sides, and the binary search's midpoint.
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

// (lLow + lHigh) / 2 rounded to the nearest integer, halves to the even one;
// the sum is 32-bit, so bounds near the limit overflow (error 6).
inline std::int32_t binary_search_midpoint(std::int32_t lLow, std::int32_t lHigh) {
  const std::int64_t sum = static_cast<std::int64_t>(lLow) + lHigh;
  if (sum < INT32_MIN || sum > INT32_MAX) throw_midpoint_overflow();
  // sum / 2 is a whole number or lies halfway: a half goes to the even side.
  std::int64_t half = sum >= 0 ? sum / 2 : -((-sum + 1) / 2);  // floor
  if ((sum & 1) != 0 && (half & 1) != 0) ++half;
  return static_cast<std::int32_t>(half);
}

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

 private:
  std::array<OLECHAR, 256> inline_;  // filled before it is read
  OleString heap_;
  OleStringView view_;
};

}  // namespace corvane
