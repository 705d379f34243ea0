#include "string_list/compare_text.h"

#include <algorithm>

#include "automation/error.h"
#include "platform/collation.h"

namespace corvane {

std::int32_t lfnCompareText(OleStringView sFirst, OleStringView sSecond) {
  return platform::compare_strings(sFirst, sSecond) - 2;
}

std::int32_t binary_search_midpoint(std::int32_t lLow, std::int32_t lHigh) {
  const std::int64_t sum = static_cast<std::int64_t>(lLow) + lHigh;
  if (sum < INT32_MIN || sum > INT32_MAX) throw AutomationError(vb_error::kOverflow);
  // sum / 2 is a whole number or lies halfway: a half goes to the even side.
  std::int64_t half = sum >= 0 ? sum / 2 : -((-sum + 1) / 2);  // floor
  if ((sum & 1) != 0 && (half & 1) != 0) ++half;
  return static_cast<std::int32_t>(half);
}

OleStringView LowercaseText::assign(OleStringView text) {
  OLECHAR* out = nullptr;
  if (text.size() <= inline_.size()) {
    out = inline_.data();
  } else {
    heap_.assign(text.size(), u'\0');
    out = heap_.data();
  }
  std::copy(text.begin(), text.end(), out);
  platform::lowercase_in_place(out, text.size());
  view_ = OleStringView(out, text.size());
  return view_;
}

}  // namespace corvane
