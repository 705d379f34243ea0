// The lowercased copies the searches compare: whatever path a text takes
// (ASCII four characters at a time, a table of the Latin blocks, the
// system's mapping for the rest, the heap beyond 256 characters), the result
// is the system's lowercase.
#include <gtest/gtest.h>

#include <string>

#include "platform/collation.h"
#include "string_list/compare_text.h"

namespace corvane {
namespace {

TEST(LowercaseText, EveryLatinCharacterAsTheSystemMapsIt) {
  LowercaseText lowered;
  for (OLECHAR c = 0; c < 0x260; ++c) {
    // Alone, and in each lane of a four-character block after a letter.
    for (std::size_t at = 0; at < 6; ++at) {
      OleString text(at, u'Q');
      text.push_back(c);
      EXPECT_EQ(OleString(lowered.assign(text)), platform::lowercase(text))
          << "character " << int(c) << " at " << at;
    }
  }
}

TEST(LowercaseText, TextsWithOtherCharactersAnywhereAndOfAnyLength) {
  // Upper- and lower-case Latin, a Greek capital, the Turkish dotted I, a
  // Deseret capital (a surrogate pair), and the ASCII neighbours of A-Z.
  const OleString others[] = {OLESTR("\u00c9"), OLESTR("\u00e9"),     OLESTR("\u03a3"),
                              OLESTR("\u0130"), OLESTR("\U00010400"), OLESTR("\u0080")};
  const OleString ascii = OLESTR("@AZ[`az{Quillon Entry-7");
  LowercaseText lowered;
  for (std::size_t length = 0; length <= ascii.size(); ++length) {
    const OleString base = ascii.substr(0, length);
    EXPECT_EQ(OleString(lowered.assign(base)), platform::lowercase(base)) << length;
    for (const OleString& other : others) {
      for (std::size_t at = 0; at <= length; ++at) {
        OleString text = base;
        text.insert(at, other);
        EXPECT_EQ(OleString(lowered.assign(text)), platform::lowercase(text));
      }
    }
  }
}

TEST(LowercaseText, LongTextsAndReuseForShorterOnes) {
  LowercaseText lowered;
  OleString text;
  for (int i = 0; i < 40; ++i) text += OLESTR("ABCdef\u00c4 ");  // 320 characters: kept on the heap
  EXPECT_EQ(OleString(lowered.assign(text)), platform::lowercase(text));
  OleString ascii(300, u'M');
  EXPECT_EQ(OleString(lowered.assign(ascii)), OleString(300, u'm'));
  EXPECT_EQ(OleString(lowered.assign(OLESTR("XY"))), OLESTR("xy"));
  EXPECT_EQ(OleString(lowered.assign(OLESTR(""))), OLESTR(""));
}

}  // namespace
}  // namespace corvane
