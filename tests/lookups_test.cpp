// The lookups through the class's C++ interface: exact match (text and long
// integers), description codes, prefix location and the description search,
// with their traces, logged failures and message boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

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

// The words of a row, split at blanks.
std::vector<OleString> words(const std::string& packed) {
  std::vector<OleString> out;
  for (std::size_t at = 0, end = 0; at <= packed.size() && !packed.empty(); at = end + 1) {
    end = std::min(packed.find(' ', at), packed.size());
    out.push_back(from_utf8(packed.substr(at, end - at)));
  }
  return out;
}

// A list under a harness that has run Init at trace level 2.
class Lookups : public ::testing::Test {
 protected:
  Lookups() { h.init(); }
  TraceHarness h;
  clsStringList list;
};
using ExactMatch = Lookups;
using DescriptionSearch = Lookups;
using PrefixLocation = Lookups;

// Each row: a list (its lower bound and entries), the search, and its
// targets with their answers ("target=answer").
struct MatchRow {
  std::int32_t lower;
  const char* list;
  bool as_long;
  const char* answers;
};

TEST_F(ExactMatch, TextAndLongSearches) {
  const MatchRow rows[] = {
      // 1.5 rounds to 2; an empty target is not found.
      {0, "a b b c", false, "b=I4:2 B=I4:2 a=I4:0 c=I4:3 bb=I4:-1 =I4:-1"},
      {0, "abc", false, "ABC=I4:0"},
      {1, "Apple banana Cherry", false, "cherry=I4:3"},
      // Accents count.
      {5, "d\u00e9j\u00e0 deux \u00e9t\u00e9 zone", false,
       "D\u00c9J\u00c0=I4:5 \u00c9t\u00e9=I4:7 ete=I4:-1"},
      // 6.5 rounds to 6, not there; a target that is no number: no search,
      // the 16-bit -1.
      {0, "-5 1 007 1,000", true,
       "7=I4:2 1000=I4:3 -5=I4:0 6.5=I4:-1 7.4=I4:2 x=I2:-1 99999999999=I2:-1"},
      // A probe that is no number ends the search.
      {0, "1 x 3", true, "3=I4:-1"},
      {0, "", false, "a=I4:-1"}};
  for (const MatchRow& row : rows) {
    fill(list, row.lower, row.list[0] == '\0' ? std::vector<OleString>() : words(row.list));
    for (const OleString& answer : words(row.answers)) {
      const std::size_t equals = answer.find(u'=');
      EXPECT_EQ(match(list, answer.substr(0, equals), row.as_long),
                testing::narrow(answer.substr(equals + 1)))
          << row.list << ": " << testing::narrow(answer);
    }
  }
  EXPECT_TRUE(h.detail_lines().empty());
}

TEST_F(ExactMatch, ProbeLinesAtTraceLevelFour) {
  h.init(4);
  fill(list, 0, words("a B b c"));
  EXPECT_EQ(match(list, OLESTR("a")), "I4:0");
  fill(list, 0, words("5 007 9"));
  EXPECT_EQ(match(list, OLESTR(" 7 "), true), "I4:1");
  const char* const source = "clsStringList.lfnMatch";
  const std::string log = h.stamped(source, "Target string: a. lLow: 0. lHigh: 0") +
                          h.stamped(source, "lMid: 2. Comparing: b. rc = -1") +
                          h.stamped(source, "lMid: 0. Comparing: a. rc = 0") +
                          h.stamped(source, "Target string: 7. lLow: 0. lHigh: 0") +
                          h.stamped(source, "lMid: 1. Comparing: 007. rc = 0");
  EXPECT_EQ(testing::read_file(h.detail_log()), log);
  // Below level 4 nothing is written.
  h.init(3);
  const std::size_t debugged = h.debug_output.lines.size();
  EXPECT_EQ(match(list, OLESTR("9"), true), "I4:2");
  EXPECT_EQ(testing::read_file(h.detail_log()), log);
  EXPECT_EQ(h.debug_output.lines.size(), debugged);
}

TEST_F(ExactMatch, AMissingListAndBoundsNearTheLimit) {
  EXPECT_EQ(match(list, OLESTR("a")), "I4:-1");
  EXPECT_EQ(match(list, OLESTR("1"), true), "I4:-1");
  // Each search logs the missing list (the long search is the text search's).
  const std::string missing =
      "GlobalErrorsLog >>> clsStringList.lfnMatchLong\tError 9 retrieving "
      "lBound of StringList:\r\nSubscript out of range\tSeverity: 2";
  const std::string log = testing::read_file(h.detail_log());
  EXPECT_EQ(testing::count_of(log, h.stamped("modVBTrace.GlobalErrorsLog", missing)), 2u);

  const std::string overflow = "Error 6: Overflow\r\nin Corvane.clsStringList.lfnMatch.\r\n";
  fill(list, 2147483600, words("a b"));
  EXPECT_EQ(match(list, OLESTR("a")), "I4:-1");
  EXPECT_EQ(h.shown(overflow), 1u);
  EXPECT_EQ(h.screen.resets, 1);
  // Below zero the sum of the bounds reaches the limit sooner: one entry at
  // -1,073,741,824 sums to exactly the lowest long, one lower overflows.
  fill(list, -1073741824, words("a"));
  EXPECT_EQ(match(list, OLESTR("a")), "I4:-1073741824");
  fill(list, -1073741825, words("a"));
  EXPECT_EQ(match(list, OLESTR("a")), "I4:-1");
  EXPECT_EQ(h.shown(overflow), 2u);
}

TEST_F(ExactMatch, EveryEntryOfALargeSortedListIsFound) {
  const std::u16string alphabet =
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJ0123456789 "
      u"-'.,()\u00e9\u00e8\u00e4\u00f6\u00fc\u00df\u00e6";
  std::mt19937 random(2024);
  std::vector<OleString> words(100000);
  for (OleString& w : words) {
    for (std::size_t n = 1 + random() % 12; n > 0; --n)
      w.push_back(static_cast<OLECHAR>(alphabet[random() % alphabet.size()]));
  }
  auto lower_less = [](const OleString& a, const OleString& b) {
    return lfnCompareText(platform::lowercase(a), platform::lowercase(b)) < 0;
  };
  std::sort(words.begin(), words.end(), lower_less);
  auto same = [&](const OleString& a, const OleString& b) { return !lower_less(a, b); };
  words.erase(std::unique(words.begin(), words.end(), same), words.end());
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
      {OLESTR("Total (1,234)"), true},   {OLESTR("()"), false}};
  for (const auto& [text, contains] : cases) {
    EXPECT_EQ(list.bfnDescriptionContainsCode(text), contains) << testing::narrow(text);
  }
}

// The description search compares entries without their codes, so it shows
// what the stripping leaves.
TEST_F(DescriptionSearch, MatchesWithoutTheCodeAndHandsBackTheEntry) {
  fill(list, 0,
       {OLESTR("Red Apple (123)"), OLESTR("A (1) (2)"), OLESTR("Pears(77)"), OLESTR("12345"),
        OLESTR(" (5)"), OLESTR("Red Apple (abc)")});
  const std::tuple<const OLECHAR*, std::int32_t, bool> cases[] = {
      {OLESTR("red apple"), 0, false},
      {OLESTR("A (1)"), 1, false},
      {OLESTR("pears(77)"), 2, false},
      {OLESTR("12345"), 3, false},
      {OLESTR(""), 4, false},
      {OLESTR("red apple (abc)"), 5, false},
      {OLESTR("pears"), -1, false},
      {OLESTR("red apple (123)"), -1, false},
      {OLESTR("red apple (123)"), 0, true},
      {OLESTR("red apple"), -1, true}};
  for (const auto& [text, index, with_code] : cases) {
    OleString target = text;
    EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(target, 0, with_code), index)
        << testing::narrow(text);
    const OleString expected =
        index < 0 ? OleString(text)
                  : OleString(bstr_view(string_element(list.string_list(), index)));
    EXPECT_EQ(target, expected);
  }
  EXPECT_TRUE(h.detail_lines().empty());
}

TEST_F(DescriptionSearch, FailuresEndInTheTrap) {
  const std::string label = "in Corvane.clsStringList.lfnMatchingPrefixLocationServerChange.";
  OleString text = OLESTR("x");
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(text, 0), -1);  // never filled
  EXPECT_EQ(h.shown("Error 9: Subscript out of range\r\n" + label + "\r\n"), 1u);
  // Index 0 below the lower bound.
  fill(list, 1, words("x"));
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(text, 0), -1);
  EXPECT_EQ(h.shown(label), 2u);

  // An empty entry: one message from the stripping, then compared as empty.
  fill(list, 0, {OLESTR(""), OLESTR("b")});
  OleString b = OLESTR("B");
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(b, 0), 1);
  EXPECT_EQ(h.shown("Error 5: Invalid procedure call or argument\r\nRaised at line "), 1u);
  EXPECT_EQ(h.shown(" in in Corvane.bfnDescriptionContainsCode.\r\n"
                    "in Corvane.clsStringList.sfnSubStringWithoutCode.\r\n"),
            1u);
  OleString empty;
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(empty, 0), 0);
}

TEST_F(PrefixLocation, FirstOfTheRunOrTheEntryBefore) {
  fill(list, 0, words("apple Banana band cherry"));
  const std::pair<const OLECHAR*, std::int32_t> cases[] = {
      {OLESTR("BAN"), 1}, {OLESTR("bank"), 2}, {OLESTR("a"), 0}, {OLESTR("zzz"), 3},
      {OLESTR("aa"), 0},  {OLESTR(""), 0},     {OLESTR("b"), 1}, {OLESTR("cherry pie"), 3},
      {OLESTR("C"), 3},   {OLESTR("band"), 2}, {OLESTR("bz"), 2}};
  for (const auto& [prefix, index] : cases) {
    for (std::int32_t compare_type : {0, 1, 2}) {
      EXPECT_EQ(list.lfnMatchingPrefixLocation(prefix, compare_type), index)
          << testing::narrow(prefix);
    }
    EXPECT_EQ(list.lfnFirstMatchingPrefix(prefix), index) << testing::narrow(prefix);
  }
  fill(list, 0, words("ab ab ab b"));
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("ab"), 0), 0);
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("AB"), 0), 0);
  EXPECT_TRUE(h.detail_lines().empty());
}

TEST_F(PrefixLocation, MissingEmptyAndRaisedLists) {
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("a"), 0), 0);  // never filled: no message
  EXPECT_TRUE(h.detail_lines().empty());
  fill(list, 0, {});
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("a"), 0), 0);
  EXPECT_EQ(h.shown("Error 9: Subscript out of range\r\n"
                    "in Corvane.clsStringList.lfnMatchingPrefixLocation.\r\n"),
            1u);
  // Lower bound 5: the downward walk through a matching run reaches index 4
  // and fails there; the walk's own trap answers 0.
  fill(list, 5, words("b b c"));
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("b"), 0), 0);
  EXPECT_EQ(
      h.shown("Error 9: Subscript out of range\r\nin Corvane.clsStringList.lfnNextString.\r\n"),
      1u);
  // Without a run to walk through, the list's own numbering comes back.
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("z"), 0), 7);
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("c"), 0), 7);
  EXPECT_EQ(h.screen.resets, 2);
}

}  // namespace
}  // namespace corvane
