// The lookups on random sorted lists, against a linear scan of the same list:
// the exact match finds an equal entry whenever there is one and -1 only when
// there is none; the prefix location gives the lowest entry that begins with
// the prefix, else the last one that sorts before it (0 when none does). The
// entries use letters and digits of both cases, whose order is the same for
// a whole entry and for its beginning, so that a list sorted by entries is
// sorted by their heads too. The long-integer search runs on numbers sorted
// by value. The description test and the server-change lookup, with and
// without the codes, run on the same entries with codes added.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "automation/safe_array.h"
#include "fuzz/fuzz_support.h"
#include "platform/collation.h"
#include "platform/numbers.h"
#include "string_list/clsStringList.h"

using namespace corvane;
using namespace corvane::fuzzing;

namespace {

std::int32_t compare_ignoring_case(OleStringView a, OleStringView b) {
  return lfnCompareText(platform::lowercase(a), platform::lowercase(b));
}

// The object filled with the items under `lower`: by the property put (a
// copy) or by sharing the caller's array in place.
struct ListUnderTest {
  ListUnderTest(std::int32_t lower, const std::vector<OleString>& items, bool share)
      : array(string_array_from(lower, items)) {
    if (share) list.AssignStringList(reinterpret_cast<std::intptr_t>(&shared));
    if (!share) list.put_StringList(string_array_variant(copy_string_array(shared)).get());
  }
  SafeArrayPtr array;
  SAFEARRAY* shared = array.get();
  clsStringList list;
};

// Whether an exact match's answer is right: -1 when no entry is `equal`,
// else the index (under `lower`) of one that is.
template <class Equal>
bool right_answer(const Variant& found, std::int32_t lower, std::size_t count, Equal equal) {
  if (found.get().vt != VT_I4) return false;
  bool any = false;
  for (std::size_t i = 0; i < count; ++i) any = any || equal(i);
  const std::int64_t at = std::int64_t{found.get().lVal} - lower;
  return any ? at >= 0 && at < static_cast<std::int64_t>(count) && equal(at)
             : found.get().lVal == -1;
}

// bfnDescriptionContainsCode, read off its rule: the text from the last "("
// (all of it when there is none), without parentheses, is a number.
bool has_code(OleStringView description) {
  const std::size_t open = description.rfind(u'(');
  OleString tail(open == OleStringView::npos ? description : description.substr(open));
  std::erase(tail, u'(');
  std::erase(tail, u')');
  return platform::is_numeric_text(tail);
}

// sfnSubStringWithoutCode, read off its rule: a description with a code loses
// everything from the blank of its last " (" on.
OleString without_code(const OleString& description) {
  const std::size_t blank = description.rfind(OLESTR(" ("));
  return !has_code(description) || blank == OleString::npos ? description
                                                            : description.substr(0, blank);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, 40);
  std::vector<OleString> items;
  for (std::size_t i = 0; i < count; ++i) items.push_back(text_from(in, "abAB01", 5));
  std::stable_sort(items.begin(), items.end(),
                   [](auto& a, auto& b) { return compare_ignoring_case(a, b) < 0; });
  const bool share = in.ConsumeBool();
  const OleString target = text_from(in, "abAB01", 6);

  // Exact match, under any lower bound.
  std::int32_t lower = in.ConsumeIntegralInRange<std::int32_t>(-1000, 1000);
  const Variant found = ListUnderTest(lower, items, share).list.lfnMatch(target);
  FUZZ_CHECK(
      right_answer(found, lower, items.size(),
                   [&](std::size_t i) { return compare_ignoring_case(items[i], target) == 0; }),
      printable(target) + " answered " + std::to_string(found.get().lVal));

  // The long-integer search on numbers written in several ways (leading
  // zeros and blanks), sorted by value: it finds an entry of the target's
  // value whenever there is one.
  std::vector<std::int32_t> values;
  for (std::size_t i = 0; i < count; ++i)
    values.push_back(in.ConsumeIntegralInRange<std::int32_t>(-50, 50) * 40000000);
  std::sort(values.begin(), values.end());
  std::vector<OleString> numbers;
  for (const std::int32_t v : values) {
    const OleString blanks(in.ConsumeIntegralInRange<std::size_t>(0, 2), u' ');
    const OleString zeros(in.ConsumeIntegralInRange<std::size_t>(0, 2), u'0');
    numbers.push_back(blanks + (v < 0 ? OLESTR("-") : OLESTR("")) + zeros + to_text(std::abs(v)));
  }
  const std::int32_t wanted = in.ConsumeIntegralInRange<std::int32_t>(-50, 50) * 40000000;
  lower = in.ConsumeIntegralInRange<std::int32_t>(-1000, 1000);
  const Variant long_found =
      ListUnderTest(lower, numbers, share).list.lfnMatch(to_text(wanted), true);
  FUZZ_CHECK(right_answer(long_found, lower, values.size(),
                          [&](std::size_t i) { return values[i] == wanted; }),
             std::to_string(wanted) + " answered " + std::to_string(long_found.get().lVal));

  // Prefix location, on a list numbered from 0 (its downward walk ends at 0).
  if (!items.empty()) {
    ListUnderTest t(0, items, share);
    std::int32_t expected = -1, last_before = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
      const OleStringView head = OleStringView(items[i]).substr(0, target.size());
      const std::int32_t rc = compare_ignoring_case(head, target);
      if (rc == 0 && expected < 0) expected = static_cast<std::int32_t>(i);
      if (rc < 0) last_before = static_cast<std::int32_t>(i);
    }
    if (expected < 0) expected = last_before;
    const std::int32_t located =
        t.list.lfnMatchingPrefixLocation(target, in.ConsumeIntegral<std::int32_t>());
    FUZZ_CHECK(located == expected && t.list.lfnFirstMatchingPrefix(target) == expected,
               printable(target) + " at " + std::to_string(located) + ", expected " +
                   std::to_string(expected));
  }

  // Descriptions with and without codes: the test follows its rule, and the
  // server-change lookup finds the lowest entry whose description (or whole
  // text) equals the text, handing back the entry as stored.
  std::vector<OleString> descriptions;
  for (const OleString& item : items) {
    const OleString d = in.ConsumeBool() ? item + text_from(in, " (-.1)x", 6) : item;
    descriptions.push_back(d.empty() ? OLESTR("x") : d);
  }
  for (const OleString& d : descriptions) {
    FUZZ_CHECK(clsStringList().bfnDescriptionContainsCode(d) == has_code(d), printable(d));
  }
  if (descriptions.empty()) return 0;
  ListUnderTest t(0, descriptions, share);
  const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, descriptions.size() - 1);
  const bool with_code = in.ConsumeBool();
  auto candidate = [&](std::size_t i) {
    return with_code ? descriptions[i] : without_code(descriptions[i]);
  };
  OleString text = candidate(pick);
  const std::int32_t index = t.list.lfnMatchingPrefixLocationServerChange(text, 0, with_code);
  std::size_t lowest = 0;
  while (compare_ignoring_case(candidate(lowest), candidate(pick)) != 0) ++lowest;
  FUZZ_CHECK(index == static_cast<std::int32_t>(lowest) && text == descriptions[lowest],
             printable(candidate(pick)) + " at " + std::to_string(index));
  return 0;
}
