// The lookups through the class's C++ interface: exact match (text and long
// integers), description codes, prefix location and the description search,
// with their traces, logged failures and message boxes.
#include <random>

#include "platform/collation.h"
#include "support/list_fixture.h"

namespace corvane {
namespace {

using testing::fill;
using testing::match;
using testing::prefix;
using testing::words;
using Lookups = testing::ListTest;

// Checks each "target=answer" of a row split at `blank` against `answer`.
void expect_answers(const std::string& row, char blank,
                    const std::function<std::string(const std::string&)>& answer) {
  for (const OleString& pair : words(row, blank)) {
    const std::string text = to_utf8(pair), target = text.substr(0, text.rfind('='));
    EXPECT_EQ(answer(target), text.substr(text.rfind('=') + 1)) << "[" << target << "]";
  }
}

TEST_F(Lookups, ExactMatchOfTextAndLongs) {
  // Each row: the list's lower bound and entries, a long search or not, and
  // the targets with their answers.
  const std::tuple<std::int32_t, const char*, bool, const char*> rows[] = {
      // 1.5 rounds to 2; an empty target is not found.
      {0, "a b b c", false, "b=2 B=2 a=0 c=3 bb=-1 =-1"},
      {0, "abc", false, "ABC=0"},
      {1, "Apple banana Cherry", false, "cherry=3"},
      // Accents count.
      {5, "d\u00e9j\u00e0 deux \u00e9t\u00e9 zone", false,
       "D\u00c9J\u00c0=5 \u00c9t\u00e9=7 ete=-1"},
      // 6.5 rounds to 6, not there; a target that is no number: no search,
      // the 16-bit -1.
      {0, "-5 1 007 1,000", true, "7=2 1000=3 -5=0 6.5=-1 7.4=2 x=I2:-1 99999999999=I2:-1"},
      {0, "1 x 3", true, "3=-1"},  // a probe that is no number ends the search
      {0, "", false, "a=-1"},
      // Near the limit the sum of the bounds overflows; below zero it reaches
      // the limit sooner: -1,073,741,824 twice is exactly the lowest long.
      {2147483600, "a b", false, "a=-1"},
      {-1073741824, "a", false, "a=-1073741824"},
      {-1073741825, "a", false, "a=-1"}};
  for (const auto& [lower, entries, as_long, answers] : rows) {
    fill(list, lower, entries);
    expect_answers(answers, ' ',
                   [&, as_long = as_long](auto& t) { return match(list, t, as_long); });
  }
  EXPECT_EQ(h.shown("Error 6: Overflow\r\nin Corvane.clsStringList.lfnMatch.\r\n"), 2u);
  // On a missing list each search logs it (the long search is the text
  // search's).
  clsStringList never_filled;
  EXPECT_EQ(match(never_filled, "a") + match(never_filled, "1", true), "-1-1");
  EXPECT_TRUE(
      h.errors_logged("clsStringList.lfnMatchLong",
                      "Error 9 retrieving lBound of StringList:\r\nSubscript out of range"));
  EXPECT_EQ(testing::count_of(testing::read_file(h.detail_log()), "lfnMatchLong\tError 9"), 2u);
}

TEST_F(Lookups, ExactMatchProbeLinesAtTraceLevelFour) {
  h.init(4);
  fill(list, 0, "a B b c");
  EXPECT_EQ(match(list, "a"), "0");
  fill(list, 0, "5 007 9");
  EXPECT_EQ(match(list, " 7 ", true), "1");
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
  EXPECT_EQ(match(list, "9", true), "2");
  EXPECT_EQ(testing::read_file(h.detail_log()), log);
  EXPECT_EQ(h.debug_output.lines.size(), debugged);
}

TEST_F(Lookups, ExactMatchFindsEveryEntryOfALargeSortedList) {
  const std::u16string alphabet =
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJ0123456789 -'.,()\u00e9\u00e8\u00e4\u00f6\u00fc"
      u"\u00df\u00e6";
  std::mt19937 random(2024);
  std::vector<OleString> entries(100000);
  for (OleString& w : entries) {
    for (std::size_t n = 1 + random() % 12; n > 0; --n)
      w.push_back(static_cast<OLECHAR>(alphabet[random() % alphabet.size()]));
  }
  auto less = [](const OleString& a, const OleString& b) {
    return lfnCompareText(platform::lowercase(a), platform::lowercase(b)) < 0;
  };
  std::sort(entries.begin(), entries.end(), less);
  auto same = [&](const OleString& a, const OleString& b) { return !less(a, b); };
  entries.erase(std::unique(entries.begin(), entries.end(), same), entries.end());
  fill(list, 0, entries);
  std::size_t missed = 0;
  for (std::size_t i = 0; i < entries.size(); ++i)
    missed += match(list, entries[i]) != std::to_string(i);
  EXPECT_EQ(missed, 0u) << "of " << entries.size();
}

TEST_F(Lookups, DescriptionCodesAndTheDescriptionSearch) {
  expect_answers(
      "Red Apple (123)=1|Red Apple (abc)=0|Red Apple=0|12345=1|Pears(77)=1|A (1) (2)=1|A (1) x=0|"
      " (5)=1|Total (1,234)=1|()=0",
      '|',
      [&](auto& text) { return std::to_string(list.bfnDescriptionContainsCode(from_utf8(text))); });
  // The description search compares entries without their codes (with them
  // when a target starts with "+"), and hands back the entry it found.
  fill(list, 0, words("Red Apple (123)|A (1) (2)|Pears(77)|12345| (5)|Red Apple (abc)", '|'));
  expect_answers(
      "red apple=0|A (1)=1|pears(77)=2|12345=3|=4|red apple (abc)=5|pears=-1|red apple (123)=-1|"
      "+red apple (123)=0|+red apple=-1",
      '|', [&](auto& target) {
        const bool with_code = target[0] == '+';
        OleString text = from_utf8(target.substr(with_code ? 1 : 0));
        const std::int32_t index = list.lfnMatchingPrefixLocationServerChange(text, 0, with_code);
        const std::string entry = index < 0 ? target.substr(with_code ? 1 : 0)
                                            : testing::entry(list.string_list(), index);
        return std::to_string(index) +
               (to_utf8(text) == entry ? "" : " handed back " + to_utf8(text));
      });
  EXPECT_TRUE(h.detail_lines().empty());

  const std::string label = "in Corvane.clsStringList.lfnMatchingPrefixLocationServerChange.";
  OleString x = OLESTR("x");
  EXPECT_EQ(clsStringList().lfnMatchingPrefixLocationServerChange(x, 0), -1);  // never filled
  EXPECT_EQ(h.shown("Error 9: Subscript out of range\r\n" + label + "\r\n"), 1u);
  fill(list, 1, "x");  // index 0 below the lower bound
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(x, 0), -1);
  EXPECT_EQ(h.shown(label), 2u);
  // An empty entry: one message from the stripping, then compared as empty.
  fill(list, 0, words("|b", '|'));
  OleString b = OLESTR("B"), empty;
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(b, 0), 1);
  EXPECT_EQ(h.shown("Error 5: Invalid procedure call or argument\r\nRaised at line "), 1u);
  EXPECT_EQ(h.shown(" in in Corvane.bfnDescriptionContainsCode.\r\n"
                    "in Corvane.clsStringList.sfnSubStringWithoutCode.\r\n"),
            1u);
  EXPECT_EQ(list.lfnMatchingPrefixLocationServerChange(empty, 0), 0);
}

// The first entry of the run that begins with the prefix, or the entry before.
TEST_F(Lookups, PrefixLocation) {
  fill(list, 0, "apple Banana band cherry");
  expect_answers("BAN=1|bank=2|a=0|zzz=3|aa=0|=0|b=1|cherry pie=3|C=3|band=2|bz=2", '|',
                 [&](auto& t) {
                   const std::int32_t first = list.lfnFirstMatchingPrefix(from_utf8(t));
                   return std::to_string(prefix(list, t)) +
                          (first == prefix(list, t) ? "" : " but first " + std::to_string(first));
                 });
  fill(list, 0, "ab ab ab b");
  EXPECT_EQ(prefix(list, "ab"), 0);
  EXPECT_EQ(prefix(list, "AB"), 0);
  EXPECT_EQ(clsStringList().lfnMatchingPrefixLocation(OLESTR("a"), 0), 0);  // never filled
  EXPECT_TRUE(h.detail_lines().empty());
  fill(list, 0, "");
  EXPECT_EQ(prefix(list, "a"), 0);
  EXPECT_EQ(h.shown("Error 9: Subscript out of range\r\n"
                    "in Corvane.clsStringList.lfnMatchingPrefixLocation.\r\n"),
            1u);
  // Lower bound 5: the downward walk through a matching run reaches index 4
  // and fails there; the walk's own trap answers 0.
  fill(list, 5, "b b c");
  EXPECT_EQ(prefix(list, "b"), 0);
  EXPECT_EQ(
      h.shown("Error 9: Subscript out of range\r\nin Corvane.clsStringList.lfnNextString.\r\n"),
      1u);
  // Without a run to walk through, the list's own numbering comes back.
  EXPECT_EQ(prefix(list, "z"), 7);
  EXPECT_EQ(prefix(list, "c"), 7);
}

}  // namespace
}  // namespace corvane
