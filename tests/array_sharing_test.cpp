// Sharing a caller's array with the string list: the copy of its header, the
// caller's strings read and written in place, detaching on release and on a
// new fill, sharing between two instances, and arrays and addresses that
// cannot be taken.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include "automation/bstr.h"
#include "automation/error.h"
#include "automation/safe_array.h"
#include "automation/vb_text.h"
#include "string_list/array_utils.h"
#include "string_list/clsStringList.h"
#include "support/fake_list_box.h"
#include "support/log_capture.h"

namespace corvane {
namespace {

using testing::TraceHarness;

// A client's String() variable: the cell that holds the array pointer.
struct ClientArray {
  explicit ClientArray(std::vector<OleString> items)
      : variable(string_array_from(0, items).release()) {}
  ~ClientArray() { SafeArrayDestroy(variable); }
  std::intptr_t address() { return reinterpret_cast<std::intptr_t>(&variable); }
  OleString at(std::int32_t i) const { return OleString(bstr_view(string_element(variable, i))); }
  SAFEARRAY* variable;
};

std::int32_t match(clsStringList& list, OleStringView target) {
  Variant v = list.lfnMatch(target);
  return v.get().vt == VT_I4 ? v.get().lVal : -100;
}

std::string raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const AutomationError& e) {
    return std::to_string(e.number()) + " " + testing::narrow(e.description());
  }
  return "nothing raised";
}

// Whether the call raises an error whose number and description start so.
bool raises(const std::function<void()>& call, const std::string& start) {
  return raised(call).rfind(start, 0) == 0;
}

std::intptr_t address_of(SAFEARRAY*& variable) {
  return reinterpret_cast<std::intptr_t>(&variable);
}

class ArraySharing : public ::testing::Test {
 protected:
  ArraySharing() { h.init(); }
  TraceHarness h;
};

void put(clsStringList& list, SAFEARRAY* array) {
  Variant v;
  v.get().vt = VT_ARRAY | VT_BSTR;
  v.get().parray = array;
  list.put_StringList(v.get());
  v.get().vt = VT_EMPTY;  // the array stays the caller's
}

TEST_F(ArraySharing, TheCopyOfTheHeader) {
  ClientArray client({OLESTR("a"), OLESTR("b")});
  client.variable->rgsabound[0].lLbound = 3;
  const SAFEARRAY copy = modArrayUtils::CopyOfStringArrayDescriptor1D(client.address());
  EXPECT_EQ(copy.cDims, 1);
  EXPECT_EQ(copy.fFeatures, 0x0111);
  EXPECT_EQ(copy.cbElements, sizeof(BSTR));
  EXPECT_EQ(copy.pvData, client.variable->pvData);  // the caller's element storage
  EXPECT_EQ(copy.rgsabound[0].cElements, 2u);
  EXPECT_EQ(copy.rgsabound[0].lLbound, 3);
  SAFEARRAY* none = nullptr;
  const SAFEARRAY zero = modArrayUtils::CopyOfStringArrayDescriptor1D(address_of(none));
  EXPECT_EQ(zero.cDims + zero.fFeatures, 0);
  EXPECT_EQ(zero.pvData, nullptr);
}

TEST_F(ArraySharing, TheListReadsAndWritesTheCallersStrings) {
  ClientArray client({OLESTR("alpha"), OLESTR("bravo"), OLESTR("charlie")});
  {
    clsStringList list;
    list.AssignStringList(client.address());
    EXPECT_EQ(match(list, OLESTR("BRAVO")), 1);
    EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("ch"), 0), 2);
    list.ReplaceString(1, OLESTR("beta"));
    EXPECT_EQ(client.at(1), OLESTR("beta"));  // the caller sees the new string
    // A change the caller makes is seen by the lookups.
    SysFreeString(
        std::exchange(string_element(client.variable, 2), Bstr(OLESTR("delta")).release()));
    EXPECT_EQ(match(list, OLESTR("delta")), 2);
    Variant copy = list.get_StringList();
    EXPECT_NE(copy.get().parray, client.variable);
  }
  // Released: the caller's array and strings are intact, and two lines say so.
  EXPECT_EQ(client.at(0), OLESTR("alpha"));
  EXPECT_EQ(client.at(2), OLESTR("delta"));
  const char* const source = "clsStringList.Class_Terminate";
  EXPECT_EQ(testing::read_file(h.detail_log()),
            h.stamped(source, "Before Clearing VarPtrStringArray(m_sStringList)") +
                h.stamped(source, "After Clearing VarPtrStringArray(m_sStringList)"));
}

TEST_F(ArraySharing, RefillingASharedListLeavesTheCallersStrings) {
  ClientArray client({OLESTR("one"), OLESTR("two")});
  BSTR first = string_element(client.variable, 0);
  ClientArray other({OLESTR("x")});
  testing::FakeDispatch box;
  box.items = {"from the box"};
  Variant number;
  number.get().vt = VT_I4;
  // A put (which detaches, then copies), the list-box transfer, and a bad put.
  const std::function<void(clsStringList&)> refills[] = {
      [&](clsStringList& list) { put(list, other.variable); },
      [&](clsStringList& list) { list.TransferVBListBoxToStringList(box.as_variant()); },
      [&](clsStringList& list) { list.put_StringList(number.get()); }};
  clsStringList list;
  for (const auto& refill : refills) {
    list.AssignStringList(client.address());
    refill(list);
    EXPECT_NE(list.string_list(), client.variable);
    EXPECT_EQ(string_element(client.variable, 0), first);
    EXPECT_EQ(client.at(1), OLESTR("two"));
  }
}

TEST_F(ArraySharing, OneInstanceSharesAnothersList) {
  ClientArray client({OLESTR("a"), OLESTR("b"), OLESTR("c")});
  // Released in the order owner last, and owner first.
  for (bool owner_last : {true, false}) {
    auto owner = std::make_unique<clsStringList>();
    put(*owner, client.variable);  // the owner has its own copy
    auto reader = std::make_unique<clsStringList>();
    reader->AssignStringList(owner->ppStringListDescriptor());
    EXPECT_EQ(match(*reader, OLESTR("c")), 2);
    reader->ReplaceString(0, OLESTR("A"));
    EXPECT_EQ(bstr_view(string_element(owner->string_list(), 0)), OLESTR("A"));
    if (owner_last) {
      reader.reset();
      EXPECT_EQ(match(*owner, OLESTR("b")), 1);
    }
    owner.reset();
  }
  // The owner re-pointed elsewhere keeps its old list for its reader.
  clsStringList owner;
  put(owner, client.variable);
  clsStringList reader;
  reader.AssignStringList(owner.ppStringListDescriptor());
  ClientArray second({OLESTR("z")});
  owner.AssignStringList(second.address());
  EXPECT_EQ(match(owner, OLESTR("z")), 0);
  EXPECT_EQ(match(reader, OLESTR("b")), 1);
  // A new instance's descriptor holds no array: the reader gets an empty header.
  clsStringList empty;
  clsStringList from_empty;
  from_empty.AssignStringList(empty.ppStringListDescriptor());
  ASSERT_NE(from_empty.string_list(), nullptr);
  EXPECT_EQ(from_empty.string_list()->cDims, 0);
  EXPECT_EQ(match(from_empty, OLESTR("a")), -1);
}

TEST_F(ArraySharing, BadArraysAndAddressesRaiseClearErrors) {
  clsStringList list;
  ClientArray kept({OLESTR("kept")});
  list.AssignStringList(kept.address());

  SAFEARRAYBOUND bound{3, 0};
  SafeArrayPtr longs(SafeArrayCreate(VT_I4, 1, &bound));
  SAFEARRAY* longs_variable = longs.get();
  // Each trap the error passes adds where it was raised.
  const std::string message = raised([&] { list.AssignStringList(address_of(longs_variable)); });
  EXPECT_EQ(message.rfind("-1 Non string array descriptor passed to AssignStringList\r\n", 0), 0u);
  const std::size_t inner = message.find(
      " in in Corvane.modArrayUtils.CopyOfStringArrayDescriptor1D.\r\nRaised at line ");
  EXPECT_NE(inner, std::string::npos) << message;
  EXPECT_EQ(message.find(" in in Corvane.clsStringList.AssignStringList.", inner),
            message.size() - 46)
      << message;
  SafeArrayPtr grid = create_string_array({{2, 0}, {2, 0}});
  SAFEARRAY* grid_variable = grid.get();
  EXPECT_TRUE(raises([&] { list.AssignStringList(address_of(grid_variable)); },
                     "-1 Array descriptor passed to AssignStringList is not one-dimensional"));

  // Addresses that cannot be read: 1, and a page that may not be read (the
  // state of memory that was given back).
#ifdef _WIN32
  void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
#else
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
#endif
  SAFEARRAY* dangling = static_cast<SAFEARRAY*>(page);
  for (std::intptr_t address :
       {std::intptr_t{1}, reinterpret_cast<std::intptr_t>(page), address_of(dangling)}) {
    EXPECT_TRUE(raises([&] { list.AssignStringList(address); },
                       "-1 Unreadable memory address passed to AssignStringList: "));
  }
  EXPECT_EQ(match(list, OLESTR("kept")), 0);  // unchanged
  EXPECT_EQ(raised([&] { list.AssignStringList(0); }), "nothing raised");
#ifdef _WIN32
  VirtualFree(page, 0, MEM_RELEASE);
#else
  munmap(page, 4096);
#endif
}

// A shared array's element count is checked against the address space
// before its last element's address is: in a 32-bit process the count
// 2^30 + 1 would put the last element back at the first one, which can be
// read. (A 64-bit address cannot wrap that way.)
TEST_F(ArraySharing, AnElementCountPastTheAddressSpace) {
  ClientArray client({OLESTR("a"), OLESTR("b")});
  client.variable->rgsabound[0].cElements = static_cast<ULONG>((1ull << 32) / sizeof(BSTR) + 1);
  clsStringList list;
  if (sizeof(void*) == 4) {
    EXPECT_TRUE(raises([&] { list.AssignStringList(client.address()); }, "-1 "));
  }
  client.variable->rgsabound[0].cElements = 2;
  list.AssignStringList(client.address());
  EXPECT_EQ(match(list, OLESTR("b")), 1);
}

TEST(ArraySharingWithoutInit, AssignAndAFailedAssignsRelease) {
  TraceHarness h;  // no Init in this apartment yet
  ClientArray client({OLESTR("only")});
  {
    clsStringList list;
    list.AssignStringList(client.address());
    EXPECT_EQ(match(list, OLESTR("only")), 0);
  }
  EXPECT_EQ(client.at(0), OLESTR("only"));
  // A failed assign leaves the flag set: release still writes both lines, and
  // the object's own list is freed, not leaked.
  h.init(2);
  {
    clsStringList list;
    put(list, client.variable);
    EXPECT_NE(raised([&] { list.AssignStringList(1); }), "nothing raised");
    EXPECT_EQ(match(list, OLESTR("only")), 0);
  }
  EXPECT_EQ(h.detail_lines().size(), 2u);
}

}  // namespace
}  // namespace corvane
