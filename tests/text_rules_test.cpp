// The system's text rules the lookups stand on: collation, lowercase mapping
// and the runtime's number rules. The expected answers are Windows' (through
// oleaut32 and kernel32 under wine); the Linux layer must give the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

#include "platform/collation.h"
#include "platform/numbers.h"
#include "string_list/compare_text.h"
#include "support/log_capture.h"

namespace corvane::platform {
namespace {

using testing::narrow;

struct NumberCase {
  const OLECHAR* text;
  std::optional<std::int32_t> value;  // nothing: not a 32-bit integer
  bool numeric;
};

TEST(NumberRules, LongConversionAndNumericTest) {
  const NumberCase cases[] = {
      {OLESTR("12"), 12, true},
      {OLESTR(" 12 "), 12, true},
      {OLESTR("\t12\t"), 12, true},
      {OLESTR("\u00a012"), 12, true},
      {OLESTR("+12"), 12, true},
      {OLESTR("-12"), -12, true},
      {OLESTR("12-"), -12, true},
      {OLESTR("12+"), 12, true},
      {OLESTR("(12)"), -12, true},
      {OLESTR("( 12 )"), -12, true},
      {OLESTR("1,234"), 1234, true},
      {OLESTR("1,000,000"), 1000000, true},
      {OLESTR("12,"), 12, true},
      {OLESTR("1.5"), 2, true},
      {OLESTR("2.5"), 2, true},
      {OLESTR("3.5"), 4, true},
      {OLESTR("-2.5"), -2, true},
      {OLESTR("0.5"), 0, true},
      {OLESTR(".5"), 0, true},
      {OLESTR("1."), 1, true},
      {OLESTR("1,234.5"), 1234, true},
      {OLESTR("1e3"), 1000, true},
      {OLESTR("1E3"), 1000, true},
      {OLESTR("2.5e0"), 2, true},
      {OLESTR("15e-1"), 2, true},
      {OLESTR("25e-1"), 2, true},
      {OLESTR("5e-1"), 0, true},
      {OLESTR("&H1F"), 31, true},
      {OLESTR("&h1f"), 31, true},
      {OLESTR("&O17"), 15, true},
      {OLESTR("$12"), 12, true},
      {OLESTR("12$"), 12, true},
      {OLESTR("-$12"), -12, true},
      {OLESTR("$-12"), -12, true},
      {OLESTR("007"), 7, true},
      {OLESTR("2147483647"), 2147483647, true},
      {OLESTR("-2147483648"), -2147483647 - 1, true},
      {OLESTR("2147483647.4"), 2147483647, true},
      {OLESTR("2147483648"), std::nullopt, true},
      {OLESTR("-2147483649"), std::nullopt, true},
      {OLESTR("2147483647.5"), std::nullopt, true},
      {OLESTR("1e10"), std::nullopt, true},
      {OLESTR(""), std::nullopt, false},
      {OLESTR(" "), std::nullopt, false},
      {OLESTR("."), std::nullopt, false},
      {OLESTR("-"), std::nullopt, false},
      {OLESTR("1e"), std::nullopt, false},
      {OLESTR("1 2"), std::nullopt, false},
      {OLESTR("1 000"), std::nullopt, false},
      {OLESTR("12abc"), std::nullopt, false},
      {OLESTR("abc"), std::nullopt, false},
      {OLESTR("0x10"), std::nullopt, false},
      {OLESTR("(12"), std::nullopt, false},
      {OLESTR("12)"), std::nullopt, false},
      {OLESTR("&H"), std::nullopt, false},
      {OLESTR("&H1G"), std::nullopt, false},
      {OLESTR("1.5.5"), std::nullopt, false},
      {OLESTR(",12"), std::nullopt, false},
      {OLESTR("--1"), std::nullopt, false},
      {OLESTR("\uff11\uff12"), std::nullopt, false},
  };
  for (const NumberCase& c : cases) {
    EXPECT_EQ(long_from_text(c.text), c.value) << "[" << narrow(c.text) << "]";
    EXPECT_EQ(is_numeric_text(c.text), c.numeric) << "[" << narrow(c.text) << "]";
  }
}

TEST(Collation, LowercaseMapping) {
  EXPECT_EQ(lowercase(OLESTR("ABC xyz")), OLESTR("abc xyz"));
  EXPECT_EQ(lowercase(OLESTR("\u00c9T\u00c9 \u00c5SA \u00d8L \u00c6")),
            OLESTR("\u00e9t\u00e9 \u00e5sa \u00f8l \u00e6"));
  EXPECT_EQ(lowercase(OLESTR("\u03a3\u0410\u00df")), OLESTR("\u03c3\u0430\u00df"));  // one for one
  EXPECT_EQ(lowercase(OLESTR("123 !?")), OLESTR("123 !?"));
}

TEST(Collation, CompareTextResults) {
  EXPECT_EQ(lfnCompareText(OLESTR("a"), OLESTR("b")), -1);
  EXPECT_EQ(lfnCompareText(OLESTR("b"), OLESTR("a")), 1);
  EXPECT_EQ(lfnCompareText(OLESTR("abc"), OLESTR("abc")), 0);
  EXPECT_EQ(lfnCompareText(OLESTR(""), OLESTR("")), 0);
  EXPECT_EQ(lfnCompareText(OLESTR("A"), OLESTR("a")), 1);  // case-sensitive by itself
  // Lengths are passed: an embedded NUL is compared, not an end.
  const OLECHAR with_nul[] = {u'a', 0, u'b'};
  EXPECT_NE(lfnCompareText(OleStringView(with_nul, 3), OLESTR("a")), 0);
}

// Words in the order Windows' string sort gives them after lowercasing:
// punctuation and symbols (not ignored) before digits before letters,
// accents after the plain letter; the letters that expand equal to their
// expansions.
TEST(Collation, StringSortOrderOfLowercasedWords) {
  const std::vector<OleString> expected = {
      OLESTR(""),
      OLESTR("'a"),
      OLESTR("-"),
      OLESTR("-a"),
      OLESTR(" "),
      OLESTR("\u00a0"),
      OLESTR("!"),
      OLESTR("#"),
      OLESTR("$"),
      OLESTR("%"),
      OLESTR("&"),
      OLESTR("("),
      OLESTR(")"),
      OLESTR("*"),
      OLESTR("/"),
      OLESTR("@"),
      OLESTR("["),
      OLESTR("\\"),
      OLESTR("^"),
      OLESTR("_"),
      OLESTR("`"),
      OLESTR("{"),
      OLESTR("|"),
      OLESTR("~"),
      OLESTR("\u00a3"),
      OLESTR("\u00a5"),
      OLESTR("\u20ac"),
      OLESTR("+"),
      OLESTR("<"),
      OLESTR("="),
      OLESTR("0"),
      OLESTR("00"),
      OLESTR("01"),
      OLESTR("1"),
      OLESTR("10"),
      OLESTR("11"),
      OLESTR("2"),
      OLESTR("9"),
      OLESTR("a"),
      OLESTR("\u00e4"),
      OLESTR("a''"),
      OLESTR("a'b"),
      OLESTR("a-"),
      OLESTR("a--"),
      OLESTR("a-b"),
      OLESTR("a-c"),
      OLESTR("a b"),
      OLESTR("a.b"),
      OLESTR("a_b"),
      OLESTR("a1"),
      OLESTR("a10"),
      OLESTR("a2"),
      OLESTR("ab"),
      OLESTR("ab-"),
      OLESTR("ae"),
      OLESTR("af"),
      OLESTR("\u00e5sa"),
      OLESTR("b"),
      OLESTR("co-op"),
      OLESTR("coop"),
      OLESTR("cote"),
      OLESTR("cot\u00e9"),
      OLESTR("c\u00f4te"),
      OLESTR("c\u00f4t\u00e9"),
      OLESTR("e"),
      OLESTR("\u00e9"),
      OLESTR("f"),
      OLESTR("item-1"),
      OLESTR("item (1)"),
      OLESTR("item (10)"),
      OLESTR("item 1"),
      OLESTR("item 10"),
      OLESTR("item 2"),
      OLESTR("item.1"),
      OLESTR("item_1"),
      OLESTR("naive"),
      OLESTR("na\u00efve"),
      OLESTR("no"),
      OLESTR("\u00f1o"),
      OLESTR("nz"),
      OLESTR("o'brien"),
      OLESTR("o'neil"),
      OLESTR("obrien"),
      OLESTR("ol"),
      OLESTR("\u00f8l"),
      OLESTR("resume"),
      OLESTR("r\u00e9sum\u00e9"),
      OLESTR("ss"),
      OLESTR("st"),
      OLESTR("x-ray"),
      OLESTR("x ray"),
      OLESTR("x.ray"),
      OLESTR("xray"),
      OLESTR("z"),
      OLESTR("zebra"),
      OLESTR("zoe"),
  };
  std::vector<OleString> words = expected;
  std::mt19937 shuffle_order(7);
  std::shuffle(words.begin(), words.end(), shuffle_order);
  for (OleString& w : words) w = lowercase(w);
  std::sort(words.begin(), words.end(),
            [](const OleString& a, const OleString& b) { return lfnCompareText(a, b) < 0; });
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(narrow(words[i]), narrow(expected[i])) << "position " << i;
  }
  EXPECT_EQ(lfnCompareText(OLESTR("\u00e6"), OLESTR("ae")), 0);
  EXPECT_EQ(lfnCompareText(OLESTR("\u00df"), OLESTR("ss")), 0);
  EXPECT_EQ(lfnCompareText(OLESTR("stra\u00dfe"), OLESTR("strasse")), 0);
  EXPECT_EQ(lfnCompareText(OLESTR("\u00e6"), OLESTR("af")), -1);
  EXPECT_EQ(lfnCompareText(OLESTR("\u00df"), OLESTR("st")), -1);
  // Strictly ascending: no two of them compare equal.
  for (std::size_t i = 1; i < expected.size(); ++i) {
    EXPECT_EQ(lfnCompareText(expected[i - 1], expected[i]), -1)
        << narrow(expected[i - 1]) << " / " << narrow(expected[i]);
  }
}

}  // namespace
}  // namespace corvane::platform
