// A list the object owns is searched through its entries lowercased once:
// the answers must be those of the list as it is now, after replacements, a
// new list, or writes by another object that was given the descriptor, and
// the same as the answers on a list searched entry by entry (the large
// sorted list of the lookup tests compares every entry).
#include <algorithm>
#include <optional>

#include "platform/collation.h"
#include "string_list/lowercase_index.h"
#include "support/fake_list_box.h"

namespace corvane {
namespace {

using testing::fill;
using testing::match;
using testing::prefix;
using LowercasedEntries = testing::ListTest;

// The index covers a list of the Latin blocks, lowercased, and refuses one
// with a character beyond them.
TEST(LowercaseIndex, CoversLatinListsOnly) {
  LowercaseIndex latin, greek;
  ASSERT_TRUE(latin.cover(string_array_from(1, {OLESTR("Alpha"), OLESTR("\u00c9T\u00c9")}).get()));
  EXPECT_EQ(latin.count(), 2u);
  EXPECT_EQ(OleString(latin[1]), OLESTR("\u00e9t\u00e9"));
  EXPECT_FALSE(greek.cover(string_array_from(0, {OLESTR("a"), OLESTR("\u0394")}).get()));
}

// The index makes the entries' sort keys as they are asked for, in the order
// of the comparison, and makes a replaced entry's again; it finds an entry
// by its exact lowercased text, whose key a target of that text takes: the
// bytes the system makes for the text.
TEST(LowercaseIndex, MakesTheEntriesSortKeysAndFindsThemByText) {
  std::vector<OleString> words;  // those of the Latin blocks
  for (OleString& word : testing::words(testing::kSortedWords, '\n')) {
    if (std::all_of(word.begin(), word.end(), [](OLECHAR c) { return c < 0x250; })) {
      words.push_back(std::move(word));
    }
  }
  LowercaseIndex index(true);
  SafeArrayPtr list = string_array_from(0, words);
  ASSERT_TRUE(index.cover(list.get()));
  ASSERT_TRUE(index.has_keys());
  auto key = [&](std::size_t i) {  // a copy: the next key may move the block
    return std::string(reinterpret_cast<const char*>(index.key(i)));
  };
  auto target_key = [&](OleStringView text) {
    std::vector<unsigned char> bytes;
    return index.target_key(platform::lowercase(text), bytes)
               ? std::string(reinterpret_cast<const char*>(bytes.data()))
               : std::string("none");
  };
  auto system_key = [](OleStringView text) {
    std::vector<unsigned char> bytes;
    return append_usable_sort_key(platform::lowercase(text), bytes)
               ? std::string(reinterpret_cast<const char*>(bytes.data()))
               : std::string("none");
  };
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) {
      EXPECT_LT(key(i - 1), key(i)) << to_utf8(words[i]);
    }
    const std::optional<std::size_t> found = index.find(platform::lowercase(words[i]));
    ASSERT_TRUE(found.has_value()) << to_utf8(words[i]);
    EXPECT_EQ(index[*found], platform::lowercase(words[i]));
    EXPECT_EQ(target_key(words[i]), system_key(words[i])) << to_utf8(words[i]);
  }
  const std::string first = key(0);
  const OleString old_text = platform::lowercase(words[0]);
  index.replace(0, OLESTR("ZZZ"));
  EXPECT_GT(key(0), key(words.size() - 1));
  EXPECT_EQ(index.find(OLESTR("zzz")), std::optional<std::size_t>(0));
  EXPECT_EQ(index.find(old_text), std::nullopt);  // the entry's old text is gone
  // Replacements past the table's room: it is built afresh and still finds
  // every entry under its present text.
  for (std::size_t round = 0; round < 3 * words.size(); ++round) {
    index.replace(round % words.size(), round % 2 ? OLESTR("x") : words[round % words.size()]);
  }
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::optional<std::size_t> found = index.find(index[i]);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(index[*found], index[i]);
  }
  index.replace(0, words[0]);
  EXPECT_EQ(key(0), first);
}

TEST_F(LowercasedEntries, FollowReplacementsAndNewLists) {
  fill(list, 3, "Alpha Beta Delta");
  EXPECT_EQ(match(list, "BETA"), "4");
  list.ReplaceString(4, OLESTR("Charlie"));
  EXPECT_EQ(match(list, "beta"), "-1");
  EXPECT_EQ(match(list, "charlie"), "4");
  EXPECT_EQ(prefix(list, "CH"), 4);
  // A replacement outside the Latin blocks: the list is searched entry by
  // entry from then on, with the same answers.
  list.ReplaceString(5, OLESTR("\u0394\u03b5\u03bb\u03c4\u03b1"));
  EXPECT_EQ(match(list, "\u03b4\u0395\u039b\u03a4\u0391"), "5");
  EXPECT_EQ(match(list, "charlie"), "4");
  // Many replacements of one entry, longer each time.
  fill(list, 0, "a m z");
  EXPECT_EQ(match(list, "m"), "1");
  OleString text = OLESTR("m");
  for (int i = 0; i < 3000; ++i) {
    list.ReplaceString(1, text += OLESTR("M"));
    ASSERT_EQ(match(list, text), "1") << i;
  }
  // Entries that are all empty, and empty targets.
  fill(list, 0, testing::words("||", '|'));
  EXPECT_EQ(match(list, ""), "1");
  EXPECT_EQ(prefix(list, ""), 0);
  // A new list: nothing of the old one is found.
  fill(list, 0, "one two");
  EXPECT_EQ(match(list, "z"), "-1");
  EXPECT_EQ(match(list, "TWO"), "1");
  // A list-box control that searches the list while it is being filled from
  // the control: the search of the half-filled list leaves nothing behind.
  testing::FakeDispatch box({"alpha", "beta", "gamma"});
  box.on_list = [&](int) { EXPECT_EQ(match(list, "gamma"), "-1"); };  // not there yet
  list.TransferVBListBoxToStringList(box.as_variant());
  EXPECT_EQ(match(list, "GAMMA"), "2");
  EXPECT_EQ(match(list, "beta"), "1");
}

// Another object given the descriptor writes into this object's list; so
// may a client that keeps the address and shares a later list.
TEST_F(LowercasedEntries, AListWhoseDescriptorWasGivenOutIsReadAsItIs) {
  fill(list, 0, "apple banana cherry");
  EXPECT_EQ(match(list, "banana"), "1");
  const std::intptr_t descriptor = list.ppStringListDescriptor();
  clsStringList writer, later;
  writer.AssignStringList(descriptor);
  writer.ReplaceString(1, OLESTR("blueberry"));
  EXPECT_EQ(match(list, "blueberry"), "1");
  EXPECT_EQ(match(list, "banana"), "-1");
  fill(list, 0, "kiwi lemon mango");
  EXPECT_EQ(match(list, "lemon"), "1");
  later.AssignStringList(descriptor);  // the address kept from before
  later.ReplaceString(1, OLESTR("lime"));
  EXPECT_EQ(match(list, "lime"), "1");
  EXPECT_EQ(prefix(list, "LI"), 1);
}

}  // namespace
}  // namespace corvane
