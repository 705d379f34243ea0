// The lookups through the class's C++ interface: exact match (text and long
// integers), description codes, prefix location and the description search,
// with their traces, logged failures and message boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "automation/bstr.h"
#include "automation/error.h"
#include "automation/safe_array.h"
#include "automation/vb_text.h"
#include "platform/collation.h"
#include "string_list/clsStringList.h"
#include "support/log_capture.h"

namespace corvane {
namespace {

using testing::TraceHarness;

void fill(clsStringList& list, std::int32_t lower, const std::vector<OleString>& items) {
  list.put_StringList(string_array_variant(string_array_from(lower, items)).get());
}

// The result as "I2:n" or "I4:n".
std::string match(clsStringList& list, OleStringView target, bool as_long = false) {
  Variant v = list.lfnMatch(target, as_long);
  if (v.get().vt == VT_I2) return "I2:" + std::to_string(v.get().iVal);
  if (v.get().vt == VT_I4) return "I4:" + std::to_string(v.get().lVal);
  return "vt " + std::to_string(v.get().vt);
}

std::string log_text(const TraceHarness& h) {
  return testing::read_file(h.detail_log());
}

TEST(ExactMatch, TextSearchFindsWhatTheProbesMeet) {
  TraceHarness h;
  h.init(2);
  clsStringList list;
  fill(list, 0, {OLESTR("a"), OLESTR("b"), OLESTR("b"), OLESTR("c")});
  EXPECT_EQ(match(list, OLESTR("b")), "I4:2");  // 1.5 rounds to 2
  EXPECT_EQ(match(list, OLESTR("B")), "I4:2");
  EXPECT_EQ(match(list, OLESTR("a")), "I4:0");
  EXPECT_EQ(match(list, OLESTR("c")), "I4:3");
  EXPECT_EQ(match(list, OLESTR("bb")), "I4:-1");
  EXPECT_EQ(match(list, OLESTR("")), "I4:-1");

  fill(list, 0, {OLESTR("abc")});
  EXPECT_EQ(match(list, OLESTR("ABC")), "I4:0");

  // The list's own numbering.
  fill(list, 1, {OLESTR("Apple"), OLESTR("banana"), OLESTR("Cherry")});
  EXPECT_EQ(match(list, OLESTR("cherry")), "I4:3");
  fill(list, 5,
       {OLESTR("d\u00e9j\u00e0"), OLESTR("deux"), OLESTR("\u00e9t\u00e9"), OLESTR("zone")});
  EXPECT_EQ(match(list, OLESTR("D\u00c9J\u00c0")), "I4:5");
  EXPECT_EQ(match(list, OLESTR("\u00c9t\u00e9")), "I4:7");
  EXPECT_EQ(match(list, OLESTR("ete")), "I4:-1");  // accents count
  EXPECT_TRUE(h.detail_lines().empty());
}

TEST(ExactMatch, ProbeLinesAtTraceLevelFour) {
  TraceHarness h;
  h.init(4);
  clsStringList list;
  fill(list, 0, {OLESTR("a"), OLESTR("B"), OLESTR("b"), OLESTR("c")});
  EXPECT_EQ(match(list, OLESTR("a")), "I4:0");
  const std::string prefix = "02-01-26 09:05:03.007\tCorvane\tclsStringList.lfnMatch: ";
  EXPECT_EQ(h.detail_lines(),
            (std::vector<std::string>{prefix + "Target string: a. lLow: 0. lHigh: 0",
                                      prefix + "lMid: 2. Comparing: b. rc = -1",
                                      prefix + "lMid: 0. Comparing: a. rc = 0"}));

  TraceHarness h2;
  h2.init(4);
  fill(list, 0, {OLESTR("5"), OLESTR("007"), OLESTR("9")});
  EXPECT_EQ(match(list, OLESTR(" 7 "), true), "I4:1");
  EXPECT_EQ(h2.detail_lines(),
            (std::vector<std::string>{prefix + "Target string: 7. lLow: 0. lHigh: 0",
                                      prefix + "lMid: 1. Comparing: 007. rc = 0"}));

  // Below level 4 nothing is written.
  TraceHarness h3;
  h3.init(3);
  EXPECT_EQ(match(list, OLESTR("9"), true), "I4:2");
  EXPECT_TRUE(h3.detail_lines().empty());
  EXPECT_TRUE(h3.debug_output.lines.empty());
}

TEST(ExactMatch, LongSearch) {
  TraceHarness h;
  h.init(2);
  clsStringList list;
  fill(list, 0, {OLESTR("-5"), OLESTR("1"), OLESTR("007"), OLESTR("1,000")});
  EXPECT_EQ(match(list, OLESTR("7"), true), "I4:2");
  EXPECT_EQ(match(list, OLESTR("1000"), true), "I4:3");
  EXPECT_EQ(match(list, OLESTR("-5"), true), "I4:0");
  EXPECT_EQ(match(list, OLESTR("6.5"), true), "I4:-1");  // 6.5 rounds to 6, not there
  EXPECT_EQ(match(list, OLESTR("7.4"), true), "I4:2");
  // A target that is no number: no search, the 16-bit -1, nothing logged.
  EXPECT_EQ(match(list, OLESTR("x"), true), "I2:-1");
  EXPECT_EQ(match(list, OLESTR("99999999999"), true), "I2:-1");
  // A probe that is no number ends the search.
  fill(list, 0, {OLESTR("1"), OLESTR("x"), OLESTR("3")});
  EXPECT_EQ(match(list, OLESTR("3"), true), "I4:-1");
  EXPECT_TRUE(h.detail_lines().empty());
}

TEST(ExactMatch, EmptyAndMissingLists) {
  TraceHarness h;
  h.init(2);
  clsStringList list;
  EXPECT_EQ(match(list, OLESTR("a")), "I4:-1");
  EXPECT_EQ(match(list, OLESTR("1"), true), "I4:-1");
  const std::string logged =
      "02-01-26 09:05:03.007\tCorvane\tmodVBTrace.GlobalErrorsLog: GlobalErrorsLog >>> "
      "clsStringList.lfnMatchLong\tError 9 retrieving lBound of StringList:\r\n"
      "Subscript out of range\tSeverity: 2\r\n";
  EXPECT_EQ(log_text(h), logged +
                             "02-01-26 09:05:03.007\tCorvane\tmodVBTrace.WriteErrorNode: "
                             "Attempting to open: " +
                             testing::narrow(h.errors_file_as_logged()) + "\r\n" + logged);

  TraceHarness h2;
  h2.init(2);
  fill(list, 0, {});
  EXPECT_EQ(match(list, OLESTR("a")), "I4:-1");
  EXPECT_TRUE(h2.detail_lines().empty());
}

TEST(ExactMatch, BoundsNearTheLimitOverflowIntoTheTrap) {
  TraceHarness h;
  h.init(2);
  clsStringList list;
  fill(list, 2147483600, {OLESTR("a"), OLESTR("b")});
  EXPECT_EQ(match(list, OLESTR("a")), "I4:-1");
  EXPECT_EQ(h.shown("Error 6: Overflow\r\nin Corvane.clsStringList.lfnMatch.\r\n"), 1u);
  EXPECT_EQ(h.screen.resets, 1);

  // Below zero the sum of the bounds reaches the limit sooner: one entry at
  // -1,073,741,824 sums to exactly the lowest long, one lower overflows.
  fill(list, -1073741824, {OLESTR("a")});
  EXPECT_EQ(match(list, OLESTR("a")), "I4:-1073741824");
  fill(list, -1073741825, {OLESTR("a")});
  EXPECT_EQ(match(list, OLESTR("a")), "I4:-1");
  EXPECT_EQ(h.shown("Error 6: Overflow\r\nin Corvane.clsStringList.lfnMatch.\r\n"), 2u);
}

TEST(ExactMatch, EveryEntryOfALargeSortedListIsFound) {
  TraceHarness h;
  h.init(2);
  const std::u16string alphabet =
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJ0123456789 "
      u"-'.,()\u00e9\u00e8\u00e4\u00f6\u00fc\u00df\u00e6";
  std::mt19937 random(2024);
  std::uniform_int_distribution<std::size_t> length(1, 12);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::vector<OleString> words;
  words.reserve(100000);
  while (words.size() < 100000) {
    OleString w;
    for (std::size_t n = length(random); n > 0; --n)
      w.push_back(static_cast<OLECHAR>(alphabet[pick(random)]));
    words.push_back(std::move(w));
  }
  auto lower_less = [](const OleString& a, const OleString& b) {
    return lfnCompareText(platform::lowercase(a), platform::lowercase(b)) < 0;
  };
  std::sort(words.begin(), words.end(), lower_less);
  words.erase(std::unique(words.begin(), words.end(),
                          [&](const OleString& a, const OleString& b) {
                            return !lower_less(a, b) && !lower_less(b, a);
                          }),
              words.end());
  clsStringList list;
  fill(list, 0, words);
  std::size_t missed = 0;
  for (std::size_t i = 0; i < words.size(); ++i) {
    Variant v = list.lfnMatch(words[i]);
    if (v.get().vt != VT_I4 || v.get().lVal != static_cast<LONG>(i)) ++missed;
  }
  EXPECT_EQ(missed, 0u) << "of " << words.size();
}

TEST(DescriptionCodes, WhichDescriptionsCarryACode) {
  TraceHarness h;
  clsStringList list;
  const std::pair<const OLECHAR*, bool> cases[] = {
      {OLESTR("Red Apple (123)"), true}, {OLESTR("Red Apple (abc)"), false},
      {OLESTR("Red Apple"), false},      {OLESTR("12345"), true},
      {OLESTR("Pears(77)"), true},       {OLESTR("A (1) (2)"), true},
      {OLESTR("A (1) x"), false},        {OLESTR(" (5)"), true},
      {OLESTR("Total (1,234)"), true},   {OLESTR("()"), false},
  };
  for (const auto& [text, contains] : cases) {
    EXPECT_EQ(list.bfnDescriptionContainsCode(text), contains) << testing::narrow(text);
  }
  try {
    list.bfnDescriptionContainsCode(OLESTR(""));
    FAIL() << "an empty description raised nothing";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 5);
    EXPECT_EQ(e.description(), OLESTR("Invalid procedure call or argument\r\nRaised at line ") +
                                   to_text(e.line()) +
                                   OLESTR(" in in Corvane.bfnDescriptionContainsCode."));
  }
}

// The description search compares entries without their codes, so it shows
// what the stripping leaves.
TEST(DescriptionSearch, MatchesWithoutTheCodeAndHandsBackTheEntry) {
  TraceHarness h;
  h.init(2);
  clsStringList list;
  fill(list, 0,
       {OLESTR("Red Apple (123)"), OLESTR("A (1) (2)"), OLESTR("Pears(77)"), OLESTR("12345"),
        OLESTR(" (5)"), OLESTR("Red Apple (abc)")});
  const std::pair<const OLECHAR*, std::int32_t> found[] = {
      {OLESTR("red apple"), 0}, {OLESTR("A (1)"), 1},
      {OLESTR("pears(77)"), 2}, {OLESTR("12345"), 3},
      {OLESTR(""), 4},          {OLESTR("red apple (abc)"), 5},
      {OLESTR("pears"), -1},    {OLESTR("red apple (123)"), -1},
  };
  for (const auto& [text, index] : found) {
    OleString target = text;
    EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(target, 0), index)
        << testing::narrow(text);
    const OleString expected =
        index < 0 ? OleString(text)
                  : OleString(bstr_view(string_element(list.string_list(), index)));
    EXPECT_EQ(target, expected);
  }
  OleString with_code = OLESTR("red apple (123)");
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(with_code, 1, true), 0);
  EXPECT_EQ(with_code, OLESTR("Red Apple (123)"));
  OleString without = OLESTR("red apple");
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(without, 2, true), -1);
  EXPECT_EQ(without, OLESTR("red apple"));
  EXPECT_TRUE(h.detail_lines().empty());
}

TEST(DescriptionSearch, FailuresEndInTheTrap) {
  TraceHarness h;
  h.init(2);
  clsStringList list;
  OleString text = OLESTR("x");
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(text, 0), -1);  // never filled
  EXPECT_EQ(h.shown("Error 9: Subscript out of range\r\n"
                    "in Corvane.clsStringList.lfnMatchingPrefixLocationServerChange.\r\n"),
            1u);
  // Index 0 below the lower bound.
  fill(list, 1, {OLESTR("x")});
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(text, 0), -1);
  EXPECT_EQ(h.shown("in Corvane.clsStringList.lfnMatchingPrefixLocationServerChange."), 2u);

  // An empty entry: one message from the stripping, then compared as empty.
  TraceHarness h2;
  h2.init(2);
  fill(list, 0, {OLESTR(""), OLESTR("b")});
  OleString b = OLESTR("B");
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(b, 0), 1);
  EXPECT_EQ(h2.shown("Error 5: Invalid procedure call or argument\r\nRaised at line "), 1u);
  EXPECT_EQ(h2.shown(" in in Corvane.bfnDescriptionContainsCode.\r\n"
                     "in Corvane.clsStringList.sfnSubStringWithoutCode.\r\n"),
            1u);
  OleString empty;
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(empty, 0), 0);
}

TEST(PrefixLocation, FirstOfTheRunOrTheEntryBefore) {
  TraceHarness h;
  h.init(2);
  clsStringList list;
  fill(list, 0, {OLESTR("apple"), OLESTR("Banana"), OLESTR("band"), OLESTR("cherry")});
  const std::pair<const OLECHAR*, std::int32_t> cases[] = {
      {OLESTR("BAN"), 1}, {OLESTR("bank"), 2}, {OLESTR("a"), 0},  {OLESTR("zzz"), 3},
      {OLESTR("aa"), 0},  {OLESTR(""), 0},     {OLESTR("b"), 1},  {OLESTR("cherry pie"), 3},
      {OLESTR("C"), 3},   {OLESTR("band"), 2}, {OLESTR("bz"), 2},
  };
  for (const auto& [prefix, index] : cases) {
    for (std::int32_t compare_type : {0, 1, 2}) {
      EXPECT_EQ(list.lfnMatchingPrefixLocation(prefix, compare_type), index)
          << testing::narrow(prefix);
    }
    EXPECT_EQ(list.lfnFirstMatchingPrefix(prefix), index) << testing::narrow(prefix);
  }
  fill(list, 0, {OLESTR("ab"), OLESTR("ab"), OLESTR("ab"), OLESTR("b")});
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("ab"), 0), 0);
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("AB"), 0), 0);
  EXPECT_TRUE(h.detail_lines().empty());
}

TEST(PrefixLocation, MissingEmptyAndRaisedLists) {
  TraceHarness h;
  h.init(2);
  clsStringList list;
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("a"), 0), 0);  // never filled: no message
  EXPECT_TRUE(h.detail_lines().empty());

  fill(list, 0, {});
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("a"), 0), 0);
  EXPECT_EQ(h.shown("Error 9: Subscript out of range\r\n"
                    "in Corvane.clsStringList.lfnMatchingPrefixLocation.\r\n"),
            1u);

  // Lower bound 5: the downward walk through a matching run reaches index 4
  // and fails there; the walk's own trap answers 0.
  TraceHarness h2;
  h2.init(2);
  fill(list, 5, {OLESTR("b"), OLESTR("b"), OLESTR("c")});
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("b"), 0), 0);
  EXPECT_EQ(h2.shown("Error 9: Subscript out of range\r\n"
                     "in Corvane.clsStringList.lfnNextString.\r\n"),
            1u);
  // Without a run to walk through, the list's own numbering comes back.
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("z"), 0), 7);
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("c"), 0), 7);
  EXPECT_EQ(h2.screen.resets, 1);
}

}  // namespace
}  // namespace corvane
