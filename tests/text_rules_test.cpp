// The system's text rules the lookups stand on: collation, lowercase mapping
// and the runtime's number rules. The expected answers are Windows' (through
// oleaut32 and kernel32 under wine); the Linux layer must give the same.
#include <cstdio>
#include <cstdlib>

#include "platform/collation.h"
#include "platform/numbers.h"
#include "support/list_fixture.h"

#ifndef _WIN32
#include <unicode/uloc.h>
#endif

namespace corvane::platform {
namespace {

using testing::kSortedWords;
using testing::words;

#ifndef _WIN32
void set_default_locale(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  uloc_setDefault(name, &status);
}

// The answers in these tests are those of an English (United States) user.
// The posix layer takes its locale from ICU's default (the environment's
// unless set) once, at its first comparison or number, so the default is set
// before any test runs, whatever the user's locale.
[[maybe_unused]] const bool kEnglish = (set_default_locale("en_US"), true);
#endif

// Each row: the text, then its 32-bit value; when it has none, the error
// the conversion raises: "n" overflow (6) of a numeric text, "o" overflow of
// a text that is not numeric (beyond a double's range), "-" type mismatch
// (13) of a text that is no number at all.
constexpr const char* kNumberRows =
    "12|12\n 12 |12\n\t12\t|12\n\u00a012|12\n+12|12\n-12|-12\n12-|-12\n12+|12\n(12)|-12\n"
    "( 12 )|-12\n1,234|1234\n1,000,000|1000000\n12,|12\n1.5|2\n2.5|2\n3.5|4\n-2.5|-2\n0.5|0\n"
    ".5|0\n1.|1\n1,234.5|1234\n1e3|1000\n1E3|1000\n2.5e0|2\n15e-1|2\n25e-1|2\n5e-1|0\n"
    "&H1F|31\n&h1f|31\n&O17|15\n$12|12\n12$|12\n-$12|-12\n$-12|-12\n007|7\n"
    "2147483647|2147483647\n-2147483648|-2147483648\n2147483647.4|2147483647\n2147483648|n\n"
    "-2147483649|n\n2147483647.5|n\n1e10|n\n3000000000|n\n1e400|o\n-1e400|o\n1e-400|0\n"
    "&H1FFFFFFFF|o\n|-\n |-\n.|-\n-|-\n1e|-\n1 2|-\n1 000|-\n"
    "12abc|-\nabc|-\n0x10|-\n(12|-\n12)|-\n&H|-\n&H1G|-\n1.5.5|-\n,12|-\n--1|-\n:|-\n"
    "\uff11\uff12|-";

TEST(NumberRules, LongConversionAndNumericTest) {
  for (const OleString& row : words(kNumberRows, '\n')) {
    const OleString text = row.substr(0, row.rfind(u'|'));
    const std::string expected = to_utf8(row.substr(row.rfind(u'|') + 1));
    std::int32_t value = 0;
    const std::int32_t error = convert_to_long(text, value);
    const bool numeric = is_numeric_text(text);
    const std::string got = error == 0    ? std::to_string(value)
                            : error == 6  ? (numeric ? "n" : "o")
                            : error == 13 ? (numeric ? "13 of a numeric text" : "-")
                                          : std::to_string(error);
    EXPECT_EQ(got, expected) << "[" << to_utf8(text) << "]";
    EXPECT_EQ(long_from_text(text), error == 0 ? std::optional(value) : std::nullopt);
  }
}

TEST(Collation, LowercaseMapping) {
  // One code unit for one: the sharp s and the final sigma stay as they are.
  EXPECT_EQ(to_utf8(lowercase(from_utf8(
                "ABC xyz 123 !? \u00c9T\u00c9 \u00c5SA \u00d8L \u00c6 \u03a3\u0410\u00df"))),
            "abc xyz 123 !? \u00e9t\u00e9 \u00e5sa \u00f8l \u00e6 \u03c3\u0430\u00df");
}

TEST(Collation, StringSortOrderOfLowercasedWords) {
  const std::vector<OleString> sorted = words(kSortedWords, '\n');
  ASSERT_EQ(sorted.size(), 96u);
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    EXPECT_EQ(lfnCompareText(sorted[i - 1], sorted[i]), -1)
        << to_utf8(sorted[i - 1]) << " / " << to_utf8(sorted[i]);
    EXPECT_EQ(lfnCompareText(sorted[i], sorted[i - 1]), 1) << to_utf8(sorted[i]);
  }
  // The letters that expand equal their expansions; the comparison is
  // case-sensitive by itself, and lengths are passed (a NUL is compared).
  for (const OleString& row : words("\u00e6 ae 0|\u00df ss 0|stra\u00dfe strasse 0|\u00e6 af -1|"
                                    "\u00df st -1|abc abc 0|A a 1",
                                    '|')) {
    const std::vector<OleString> pair = words(to_utf8(row));
    EXPECT_EQ(std::to_string(lfnCompareText(pair[0], pair[1])), to_utf8(pair[2])) << to_utf8(row);
  }
  EXPECT_EQ(lfnCompareText(OleString(OLESTR("a\0b"), 3), OLESTR("a")), 1);
}

#ifndef _WIN32
// A named locale's own order through ICU: Swedish puts å, ä and ö after z.
// The layer reads the locale once per process, so a fresh process of this
// program sets it and compares.
TEST(Collation, ANamedLocalesOwnOrder) {
  const std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a new process, not a fork of this one
  EXPECT_EXIT(
      {
        set_default_locale("sv_SE");
        const std::vector<OleString> letters = words("a z \u00e5 \u00e4 \u00f6");
        std::string order = "order:";
        for (std::size_t i = 0; i < letters.size(); ++i) {
          order += " " + to_utf8(letters[i]);
          if (i > 0 && lfnCompareText(letters[i - 1], letters[i]) != -1) order += " (not after)";
        }
        std::fprintf(stderr, "%s;\n", order.c_str());
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "order: a z \xc3\xa5 \xc3\xa4 \xc3\xb6;");
  GTEST_FLAG_SET(death_test_style, style);
}
#endif

}  // namespace
}  // namespace corvane::platform
