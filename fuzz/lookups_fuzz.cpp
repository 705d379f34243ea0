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

// sfnSubStringWithoutCode, read off its rule: a description with a code loses
// everything from the blank of its last " (" on.
OleString without_code(const OleString& description) {
  if (!has_code(description)) return description;
  const std::size_t blank = description.rfind(OLESTR(" ("));
  return blank == OleString::npos ? description : description.substr(0, blank);
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

  // The long-integer search on numbers written in several ways (leading
  // zeros and blanks), sorted by value: it finds an entry of the target's
  // value whenever there is one.
  {
    std::vector<std::int32_t> values;
    for (std::size_t i = 0; i < count; ++i)
      values.push_back(in.ConsumeIntegralInRange<std::int32_t>(-50, 50) * 40000000);
    std::sort(values.begin(), values.end());
    std::vector<OleString> numbers;
    for (const std::int32_t v : values) {
      OleString written = OleString(in.ConsumeIntegralInRange<std::size_t>(0, 2), u' ');
      if (v < 0) written += u'-';
      written += OleString(in.ConsumeIntegralInRange<std::size_t>(0, 2), u'0');
      const std::string digits = std::to_string(v < 0 ? -static_cast<std::int64_t>(v) : v);
      written.append(digits.begin(), digits.end());
      numbers.push_back(written);
    }
    const std::int32_t wanted = in.ConsumeIntegralInRange<std::int32_t>(-50, 50) * 40000000;
    const std::string wanted_text = std::to_string(wanted);
    const std::int32_t lower = in.ConsumeIntegralInRange<std::int32_t>(-1000, 1000);
    ListUnderTest t(lower, numbers, share);
    const Variant found = t.list.lfnMatch(OleString(wanted_text.begin(), wanted_text.end()), true);
    FUZZ_CHECK(found.get().vt == VT_I4, "no long search ran");
    const std::int32_t index = found.get().lVal;
    if (std::find(values.begin(), values.end(), wanted) == values.end()) {
      FUZZ_CHECK(index == -1, wanted_text + " found at " + std::to_string(index));
    } else {
      FUZZ_CHECK(index >= lower && index - lower < static_cast<std::int32_t>(values.size()) &&
                     values[index - lower] == wanted,
                 wanted_text + " missed, got " + std::to_string(index));
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
    const bool with_code = in.ConsumeBool();
    auto candidate = [&](std::size_t i) {
      return with_code ? descriptions[i] : without_code(descriptions[i]);
    };
    const OleString wanted = candidate(pick);
    OleString text = wanted;
    const std::int32_t index = t.list.lfnMatchingPrefixLocationServerChange(text, 0, with_code);
    std::size_t lowest = 0;
    while (compare_ignoring_case(candidate(lowest), wanted) != 0) ++lowest;
    FUZZ_CHECK(index == static_cast<std::int32_t>(lowest),
               printable(wanted) + " at " + std::to_string(index));
    FUZZ_CHECK(text == descriptions[lowest], printable(text));
  }
  return 0;
}
