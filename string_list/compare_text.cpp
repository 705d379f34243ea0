#include "string_list/compare_text.h"

#include <algorithm>

#include "automation/error.h"
#include "platform/collation.h"

namespace corvane {

std::int32_t lfnCompareText(OleStringView sFirst, OleStringView sSecond) {
  return platform::compare_strings(sFirst, sSecond) - 2;
}

void throw_midpoint_overflow() {
  throw AutomationError(vb_error::kOverflow);
}

OleStringView LowercaseText::assign(OleStringView text) {
  OLECHAR* out = nullptr;
  if (text.size() <= inline_.size()) {
    out = inline_.data();
  } else {
    heap_.assign(text.size(), u'\0');
    out = heap_.data();
  }
  platform::lowercase_copy(text.data(), text.size(), out);
  view_ = OleStringView(out, text.size());
  return view_;
}

}  // namespace corvane
