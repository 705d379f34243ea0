// A list the object owns is searched through its entries lowercased once:
// the answers must be those of the list as it is now, after replacements, a
// new list, or writes by another object that was given the descriptor, and
// the same as the answers on a list searched entry by entry (the large
// sorted list of the lookup tests compares every entry).
#include <gtest/gtest.h>

#include "automation/safe_array.h"
#include "string_list/clsStringList.h"
#include "string_list/lowercase_index.h"
#include "support/fake_list_box.h"
#include "support/log_capture.h"

namespace corvane {
namespace {

using testing::TraceHarness;

void fill(clsStringList& list, std::int32_t lower, const std::vector<OleString>& items) {
  list.put_StringList(string_array_variant(string_array_from(lower, items)).get());
}

std::int32_t found(clsStringList& list, OleStringView target) {
  Variant v = list.lfnMatch(target);
  return v.get().vt == VT_I4 ? v.get().lVal : -100;
}

class LowercasedEntries : public ::testing::Test {
 protected:
  LowercasedEntries() { h.init(); }
  TraceHarness h;
  clsStringList list;
};

// The index covers a list of the Latin blocks, lowercased, and refuses one
// with a character beyond them.
TEST(LowercaseIndex, CoversLatinListsOnly) {
  LowercaseIndex latin;
  ASSERT_TRUE(latin.cover(string_array_from(1, {OLESTR("Alpha"), OLESTR("\u00c9T\u00c9")}).get()));
  EXPECT_EQ(latin.count(), 2u);
  EXPECT_EQ(OleString(latin[1]), OLESTR("\u00e9t\u00e9"));
  LowercaseIndex greek;
  EXPECT_FALSE(greek.cover(string_array_from(0, {OLESTR("a"), OLESTR("\u0394")}).get()));
}

TEST_F(LowercasedEntries, FollowReplacementsAndNewLists) {
  fill(list, 3, {OLESTR("Alpha"), OLESTR("Beta"), OLESTR("Delta")});
  EXPECT_EQ(found(list, OLESTR("BETA")), 4);
  list.ReplaceString(4, OLESTR("Charlie"));
  EXPECT_EQ(found(list, OLESTR("beta")), -1);
  EXPECT_EQ(found(list, OLESTR("charlie")), 4);
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("CH"), 0), 4);
  // A replacement outside the Latin blocks: the list is searched entry by
  // entry from then on, with the same answers.
  list.ReplaceString(5, OLESTR("\u0394\u03b5\u03bb\u03c4\u03b1"));
  EXPECT_EQ(found(list, OLESTR("\u03b4\u0395\u039b\u03a4\u0391")), 5);
  EXPECT_EQ(found(list, OLESTR("charlie")), 4);
  // Many replacements of one entry, longer each time.
  fill(list, 0, {OLESTR("a"), OLESTR("m"), OLESTR("z")});
  EXPECT_EQ(found(list, OLESTR("m")), 1);
  OleString text = OLESTR("m");
  for (int i = 0; i < 3000; ++i) {
    text += OLESTR("M");
    list.ReplaceString(1, text);
    ASSERT_EQ(found(list, text), 1) << i;
  }
  // Entries that are all empty, and empty targets.
  fill(list, 0, {OLESTR(""), OLESTR(""), OLESTR("")});
  EXPECT_EQ(found(list, OLESTR("")), 1);
  EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR(""), 0), 0);
  // A new list: nothing of the old one is found.
  fill(list, 0, {OLESTR("one"), OLESTR("two")});
  EXPECT_EQ(found(list, OLESTR("z")), -1);
  EXPECT_EQ(found(list, OLESTR("TWO")), 1);
}

// A list-box control that searches the list while it is being filled from
// the control: the search of the half-filled list leaves nothing behind.
TEST_F(LowercasedEntries, ASearchFromInsideAListBoxTransfer) {
  testing::FakeDispatch box;
  box.items = {"alpha", "beta", "gamma"};
  box.on_list = [&](int index) {
    if (index == 1) {
      EXPECT_EQ(found(list, OLESTR("gamma")), -1);  // not there yet
    }
  };
  list.TransferVBListBoxToStringList(box.as_variant());
  EXPECT_EQ(found(list, OLESTR("GAMMA")), 2);
  EXPECT_EQ(found(list, OLESTR("beta")), 1);
}

// Another object given the descriptor writes into this object's list; so
// may a client that keeps the address and shares a later list.
TEST_F(LowercasedEntries, AListWhoseDescriptorWasGivenOutIsReadAsItIs) {
  clsStringList& owner = list;
  fill(owner, 0, {OLESTR("apple"), OLESTR("banana"), OLESTR("cherry")});
  EXPECT_EQ(found(owner, OLESTR("banana")), 1);
  const std::intptr_t descriptor = owner.ppStringListDescriptor();
  clsStringList writer;
  writer.AssignStringList(descriptor);
  writer.ReplaceString(1, OLESTR("blueberry"));
  EXPECT_EQ(found(owner, OLESTR("blueberry")), 1);
  EXPECT_EQ(found(owner, OLESTR("banana")), -1);

  fill(owner, 0, {OLESTR("kiwi"), OLESTR("lemon"), OLESTR("mango")});
  EXPECT_EQ(found(owner, OLESTR("lemon")), 1);
  clsStringList later;
  later.AssignStringList(descriptor);  // the address kept from before
  later.ReplaceString(1, OLESTR("lime"));
  EXPECT_EQ(found(owner, OLESTR("lime")), 1);
  EXPECT_EQ(owner.lfnMatchingPrefixLocation(OLESTR("LI"), 0), 1);
}

}  // namespace
}  // namespace corvane
