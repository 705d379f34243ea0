// Sharing a caller's array with the string list: the copy of its header, the
// caller's strings read and written in place, detaching on release and on a
// new fill, sharing between two instances, and arrays and addresses that
// cannot be taken.
#include "support/fake_list_box.h"

namespace corvane {
namespace {

using testing::listed;
using testing::match;
using testing::of_type;
using testing::raised;
using ArraySharing = testing::ListTest;

std::intptr_t address_of(SAFEARRAY*& variable) {
  return reinterpret_cast<std::intptr_t>(&variable);
}

// A client's String() variable: the cell that holds the array pointer.
struct ClientArray {
  explicit ClientArray(const std::string& packed, std::int32_t lower = 0)
      : array(string_array_from(lower, testing::words(packed))) {}
  std::intptr_t address() { return address_of(variable); }
  SafeArrayPtr array;
  SAFEARRAY* variable = array.get();
};

TEST_F(ArraySharing, TheListReadsAndWritesTheCallersStrings) {
  ClientArray client("alpha bravo charlie", 3);
  {
    clsStringList shared;
    shared.AssignStringList(client.address());
    EXPECT_EQ(shared.string_list()->fFeatures, FADF_BSTR | FADF_FIXEDSIZE | FADF_AUTO);
    EXPECT_EQ(match(shared, "BRAVO"), "4");
    EXPECT_EQ(shared.lfnMatchingPrefixLocation(OLESTR("ch"), 0), 5);
    shared.ReplaceString(4, OLESTR("beta"));  // the caller sees the new string
    // A change the caller makes is seen by the lookups.
    SysFreeString(
        std::exchange(string_element(client.variable, 5), Bstr(OLESTR("delta")).release()));
    EXPECT_EQ(match(shared, "delta"), "5");
    Variant copy = shared.get_StringList();
    EXPECT_NE(copy.get().parray, client.variable);
  }
  // Released: the caller's array and strings are intact, and two lines say so.
  EXPECT_EQ(listed(client.variable), "3:alpha|beta|delta");
  const char* const source = "clsStringList.Class_Terminate";
  EXPECT_EQ(testing::read_file(h.detail_log()),
            h.stamped(source, "Before Clearing VarPtrStringArray(m_sStringList)") +
                h.stamped(source, "After Clearing VarPtrStringArray(m_sStringList)"));
}

TEST_F(ArraySharing, RefillingASharedListLeavesTheCallersStrings) {
  ClientArray client("one two"), other("x");
  BSTR first = string_element(client.variable, 0);
  testing::FakeDispatch box({"from the box"});
  // A put (which detaches, then copies), the list-box transfer, and a bad put.
  const VARIANT refills[] = {of_type(VT_ARRAY | VT_BSTR, other.variable), box.as_variant(),
                             of_type(VT_I4)};
  for (const VARIANT& refill : refills) {
    list.AssignStringList(client.address());
    if (refill.vt == VT_DISPATCH) list.TransferVBListBoxToStringList(refill);
    if (refill.vt != VT_DISPATCH) list.put_StringList(refill);
    EXPECT_NE(list.string_list(), client.variable);
    EXPECT_EQ(string_element(client.variable, 0), first);
    EXPECT_EQ(listed(client.variable), "0:one|two");
  }
}

TEST_F(ArraySharing, OneInstanceSharesAnothersList) {
  ClientArray client("a b c");
  // Released in the order owner last, and owner first.
  for (bool owner_last : {true, false}) {
    auto owner = std::make_unique<clsStringList>();
    owner->put_StringList(of_type(VT_ARRAY | VT_BSTR, client.variable));  // a copy of its own
    auto reader = std::make_unique<clsStringList>();
    reader->AssignStringList(owner->ppStringListDescriptor());
    EXPECT_EQ(match(*reader, "c"), "2");
    reader->ReplaceString(0, OLESTR("A"));
    EXPECT_EQ(listed(owner->string_list()), "0:A|b|c");
    if (owner_last) {
      reader.reset();
      EXPECT_EQ(match(*owner, "b"), "1");
    }
    owner.reset();
  }
  // The owner re-pointed elsewhere keeps its old list for its reader.
  clsStringList reader;
  list.put_StringList(of_type(VT_ARRAY | VT_BSTR, client.variable));
  reader.AssignStringList(list.ppStringListDescriptor());
  ClientArray second("z");
  list.AssignStringList(second.address());
  EXPECT_EQ(match(list, "z"), "0");
  EXPECT_EQ(match(reader, "b"), "1");
  // A new instance's descriptor holds no array: the reader gets an empty header.
  clsStringList empty, from_empty;
  from_empty.AssignStringList(empty.ppStringListDescriptor());
  ASSERT_NE(from_empty.string_list(), nullptr);
  EXPECT_EQ(from_empty.string_list()->cDims, 0);
  EXPECT_EQ(match(from_empty, "a"), "-1");
}

TEST_F(ArraySharing, BadArraysAndAddressesRaise) {
  ClientArray kept("kept");
  list.AssignStringList(kept.address());
  SAFEARRAYBOUND bound{3, 0};
  SafeArrayPtr longs(SafeArrayCreate(VT_I4, 1, &bound)),
      grid = create_string_array({{2, 0}, {2, 0}});
  SAFEARRAY *longs_variable = longs.get(), *grid_variable = grid.get();
  // Addresses that cannot be read, of the array variable and of the header
  // it names (where memory that was given back would be).
  SAFEARRAY* dangling = reinterpret_cast<SAFEARRAY*>(std::intptr_t{64});
  for (std::intptr_t address : {address_of(longs_variable), address_of(grid_variable),
                                std::intptr_t{1}, address_of(dangling)}) {
    EXPECT_EQ(raised([&] { list.AssignStringList(address); }), -1) << address;
  }
  EXPECT_EQ(match(list, "kept"), "0");  // unchanged
  EXPECT_EQ(raised([&] { list.AssignStringList(0); }), 0);
  // In a 32-bit process the count 2^30 + 1 would put the last element back
  // at the first one, which can be read: the count is checked first.
  kept.variable->rgsabound[0].cElements = static_cast<ULONG>((1ull << 32) / sizeof(BSTR) + 1);
  EXPECT_EQ(sizeof(void*) == 4 ? raised([&] { list.AssignStringList(kept.address()); }) : -1, -1);
  kept.variable->rgsabound[0].cElements = 1;
}

TEST(ArraySharingWithoutInit, AssignAndAFailedAssignsRelease) {
  testing::TraceHarness h;  // no Init in this apartment yet
  ClientArray client("only");
  {
    clsStringList list;
    list.AssignStringList(client.address());
    EXPECT_EQ(match(list, "only"), "0");
  }
  EXPECT_EQ(listed(client.variable), "0:only");
  // A failed assign leaves the flag set: release still writes both lines, and
  // the object's own list is freed, not leaked.
  h.init(2);
  {
    clsStringList list;
    list.put_StringList(of_type(VT_ARRAY | VT_BSTR, client.variable));
    EXPECT_NE(raised([&] { list.AssignStringList(1); }), 0);
    EXPECT_EQ(match(list, "only"), "0");
  }
  EXPECT_EQ(h.detail_lines().size(), 2u);
}

}  // namespace
}  // namespace corvane
