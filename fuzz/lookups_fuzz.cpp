// The lookups on random sorted lists, against a linear scan of the same list:
// the exact match finds an equal entry whenever there is one and -1 only when
// there is none; the prefix location gives the lowest entry that begins with
// the prefix, else the last one that sorts before it (0 when none does). The
// entries use letters and digits of both cases, whose order is the same for
// a whole entry and for its beginning, so that a list sorted by entries is
// sorted by their heads too. The description test and the server-change
// lookup run on the same entries with codes added.
#include <algorithm>
#include <vector>

#include "automation/error.h"
#include "automation/safe_array.h"
#include "fuzz/fuzz_support.h"
#include "platform/collation.h"
#include "platform/numbers.h"
#include "string_list/clsStringList.h"
#include "string_list/compare_text.h"

using namespace corvane;
using namespace corvane::fuzzing;

namespace {

std::int32_t compare_ignoring_case(OleStringView a, OleStringView b) {
  return lfnCompareText(platform::lowercase(a), platform::lowercase(b));
}

// Fills the object with the items under `lower`: by the property put (a copy)
// or by sharing the caller's array in place.
struct ListUnderTest {
  clsStringList list;
  SafeArrayPtr array;
  SAFEARRAY* shared = nullptr;

  ListUnderTest(std::int32_t lower, const std::vector<OleString>& items, bool share)
      : array(string_array_from(lower, items)) {
    if (share) {
      shared = array.get();
      list.AssignStringList(reinterpret_cast<std::intptr_t>(&shared));
    } else {
      VARIANT v;
      VariantInit(&v);
      v.vt = VT_ARRAY | VT_BSTR;
      v.parray = array.get();
      list.put_StringList(v);
    }
  }
};

// bfnDescriptionContainsCode, read off its rule: the text from the last "("
// (all of it when there is none), without parentheses, is a number.
bool has_code(OleStringView description) {
  const std::size_t open = description.rfind(u'(');
  OleString tail(open == OleStringView::npos ? description : description.substr(open));
  std::erase(tail, u'(');
  std::erase(tail, u')');
  return platform::is_numeric_text(tail);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, 40);
  std::vector<OleString> items;
  for (std::size_t i = 0; i < count; ++i) items.push_back(text_from(in, "abAB01", 5));
  std::stable_sort(items.begin(), items.end(), [](const OleString& a, const OleString& b) {
    return compare_ignoring_case(a, b) < 0;
  });
  const bool share = in.ConsumeBool();
  const OleString target = text_from(in, "abAB01", 6);

  // Exact match, under any lower bound.
  {
    const std::int32_t lower = in.ConsumeIntegralInRange<std::int32_t>(-1000, 1000);
    ListUnderTest t(lower, items, share);
    const Variant found = t.list.lfnMatch(target);
    FUZZ_CHECK(found.get().vt == VT_I4, "no search ran");
    const std::int32_t index = found.get().lVal;
    const bool present = std::any_of(items.begin(), items.end(), [&](const OleString& item) {
      return compare_ignoring_case(item, target) == 0;
    });
    if (!present) {
      FUZZ_CHECK(index == -1, printable(target) + " found at " + std::to_string(index));
    } else {
      FUZZ_CHECK(index >= lower && index - lower < static_cast<std::int32_t>(items.size()) &&
                     compare_ignoring_case(items[index - lower], target) == 0,
                 printable(target) + " missed, got " + std::to_string(index));
    }
  }

  // Prefix location, on a list numbered from 0 (its downward walk ends at 0).
  if (!items.empty()) {
    ListUnderTest t(0, items, share);
    const std::size_t n = target.size();
    std::int32_t expected = -1;
    std::int32_t last_before = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
      const OleStringView head = OleStringView(items[i]).substr(0, n);
      const std::int32_t rc = compare_ignoring_case(head, target);
      if (rc == 0 && expected < 0) expected = static_cast<std::int32_t>(i);
      if (rc < 0) last_before = static_cast<std::int32_t>(i);
    }
    if (expected < 0) expected = last_before;
    const std::int32_t located =
        t.list.lfnMatchingPrefixLocation(target, in.ConsumeIntegral<std::int32_t>());
    FUZZ_CHECK(located == expected, printable(target) + " at " + std::to_string(located) +
                                        ", expected " + std::to_string(expected));
    FUZZ_CHECK(t.list.lfnFirstMatchingPrefix(target) == expected, printable(target));
  }

  // Descriptions with and without codes: the test follows its rule, and the
  // server-change lookup finds the lowest entry whose description (or whole
  // text) equals the text, handing back the entry as stored.
  std::vector<OleString> descriptions;
  for (const OleString& item : items) {
    OleString d = item;
    if (in.ConsumeBool()) d += text_from(in, " (-.1)x", 6);
    descriptions.push_back(d.empty() ? OLESTR("x") : d);
  }
  for (const OleString& d : descriptions) {
    clsStringList list;
    FUZZ_CHECK(list.bfnDescriptionContainsCode(d) == has_code(d), printable(d));
  }
  if (!descriptions.empty()) {
    ListUnderTest t(0, descriptions, share);
    const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, descriptions.size() - 1);
    OleString text = descriptions[pick];
    const std::int32_t index = t.list.lfnMatchingPrefixLocationServerChange(text, 0, true);
    std::int32_t lowest = 0;
    while (compare_ignoring_case(descriptions[lowest], descriptions[pick]) != 0) ++lowest;
    FUZZ_CHECK(index == lowest, printable(descriptions[pick]) + " at " + std::to_string(index));
    FUZZ_CHECK(text == descriptions[lowest], printable(text));
  }
  return 0;
}
