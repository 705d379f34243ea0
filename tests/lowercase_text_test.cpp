// The lowercased copies the searches compare: whatever path a text takes
// (ASCII four characters at a time, a table of the Latin blocks, the
// system's mapping for the rest, the heap beyond 256 characters), the result
// is the system's lowercase.
#include "platform/collation.h"
#include "support/list_fixture.h"

namespace corvane {
namespace {

TEST(LowercaseText, AnyTextAsTheSystemMapsIt) {
  LowercaseText lowered;  // one object for all: each text reuses its storage
  auto expect_lowered = [&](const OleString& text) {
    EXPECT_EQ(OleString(lowered.assign(text)), platform::lowercase(text)) << to_utf8(text);
  };
  // Every Latin character alone, and in each lane of a four-character block
  // after a letter.
  for (OLECHAR c = 0; c < 0x260; ++c) {
    for (std::size_t at = 0; at < 6; ++at) expect_lowered(OleString(at, u'Q') + c);
  }
  // Upper- and lower-case Latin, a Greek capital, the Turkish dotted I, a
  // Deseret capital (a surrogate pair) and a control character, anywhere in
  // ASCII texts (with the neighbours of A-Z) of any length.
  const OleString others[] = {OLESTR("\u00c9"), OLESTR("\u00e9"),     OLESTR("\u03a3"),
                              OLESTR("\u0130"), OLESTR("\U00010400"), OLESTR("\u0080")};
  const OleString ascii = OLESTR("@AZ[`az{Quillon Entry-7");
  for (std::size_t length = 0; length <= ascii.size(); ++length) {
    expect_lowered(ascii.substr(0, length));
    for (const OleString& other : others) {
      for (std::size_t at = 0; at <= length; ++at)
        expect_lowered(OleString(ascii.substr(0, length)).insert(at, other));
    }
  }
  // Texts past 256 characters are kept on the heap; shorter ones after them
  // are not read from there.
  OleString long_text;
  for (int i = 0; i < 40; ++i) long_text += OLESTR("ABCdef\u00c4 ");
  for (const OleString& text :
       {long_text, OleString(300, u'M'), OleString(OLESTR("XY")), OleString()})
    expect_lowered(text);
}

}  // namespace
}  // namespace corvane
