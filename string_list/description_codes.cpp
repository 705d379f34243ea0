// Description codes: whether a description ends in a numeric code in
// parentheses, and the description without it.
#include "automation/error.h"
#include "platform/collation.h"
#include "platform/numbers.h"
#include "string_list/clsStringList.h"
#include "trace/error_trap.h"

namespace corvane {

namespace {

constexpr modVBTrace::ErrorTrap kContainsCodeTrap =
    modVBTrace::raise_trap(OLESTR("in Corvane.bfnDescriptionContainsCode."));
constexpr modVBTrace::ErrorTrap kWithoutCodeTrap =
    modVBTrace::member_msgbox_trap(OLESTR("in Corvane.clsStringList.sfnSubStringWithoutCode."));

}  // namespace

bool clsStringList::bfnDescriptionContainsCode(OleStringView sDesc) {
  bool contains = false;
  modVBTrace::trapped(kContainsCodeTrap, [&] {
    // The backward search starts at the text's length: position 0 for an
    // empty text, which the runtime refuses.
    if (sDesc.empty()) throw AutomationError(vb_error::kInvalidProcedureCall);
    const std::size_t open = sDesc.rfind(u'(');
    const OleStringView tail = open == OleStringView::npos ? sDesc : sDesc.substr(open);
    OleString code;
    for (OLECHAR c : tail) {
      if (c != u'(' && c != u')') code.push_back(c);
    }
    contains = platform::is_numeric_text(code);
  });
  return contains;
}

OleString clsStringList::sfnSubStringWithoutCode(OleStringView sDesc) {
  OleString result;
  modVBTrace::trapped(kWithoutCodeTrap, [&] {
    std::size_t q = OleStringView::npos;
    if (bfnDescriptionContainsCode(sDesc)) q = platform::lowercase(sDesc).rfind(OLESTR(" ("));
    result = OleString(q == OleStringView::npos ? sDesc : sDesc.substr(0, q));
  });
  return result;
}

}  // namespace corvane
