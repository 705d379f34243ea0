// Sharing a caller's array with the string list: the copy of its header, the
// caller's strings read and written in place, detaching on release and on a
// new fill, sharing between two instances, and addresses that cannot be read.
#include <gtest/gtest.h>

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
  explicit ClientArray(std::int32_t lower, std::vector<OleString> items) {
    SafeArrayPtr a = create_string_array({SAFEARRAYBOUND{static_cast<ULONG>(items.size()), lower}});
    for (std::size_t i = 0; i < items.size(); ++i) {
      string_element(a.get(), lower + static_cast<std::int32_t>(i)) = Bstr(items[i]).release();
    }
    variable = a.release();
  }
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

TEST(ArraySharing, TheCopyOfTheHeader) {
  TraceHarness h;
  ClientArray client(3, {OLESTR("a"), OLESTR("b")});
  const SAFEARRAY copy = modArrayUtils::CopyOfStringArrayDescriptor1D(client.address());
  EXPECT_EQ(copy.cDims, 1);
  EXPECT_EQ(copy.fFeatures, 0x0111);
  EXPECT_EQ(copy.cbElements, sizeof(BSTR));
  EXPECT_EQ(copy.cLocks, client.variable->cLocks);
  EXPECT_EQ(copy.pvData, client.variable->pvData);  // the caller's element storage
  EXPECT_EQ(copy.rgsabound[0].cElements, 2u);
  EXPECT_EQ(copy.rgsabound[0].lLbound, 3);

  SAFEARRAY* none = nullptr;
  const SAFEARRAY zero =
      modArrayUtils::CopyOfStringArrayDescriptor1D(reinterpret_cast<std::intptr_t>(&none));
  EXPECT_EQ(zero.cDims, 0);
  EXPECT_EQ(zero.fFeatures, 0);
  EXPECT_EQ(zero.pvData, nullptr);
}

TEST(ArraySharing, TheListReadsAndWritesTheCallersStrings) {
  TraceHarness h;
  h.init(2);
  ClientArray client(0, {OLESTR("alpha"), OLESTR("bravo"), OLESTR("charlie")});
  {
    clsStringList list;
    list.AssignStringList(client.address());
    EXPECT_EQ(match(list, OLESTR("BRAVO")), 1);
    EXPECT_EQ(list.lfnMatchingPrefixLocation(OLESTR("ch"), 0), 2);
    list.ReplaceString(1, OLESTR("beta"));
    EXPECT_EQ(client.at(1), OLESTR("beta"));  // the caller sees the new string
    // A change the caller makes is seen by the lookups.
    Bstr delta(OLESTR("delta"));
    SysFreeString(string_element(client.variable, 2));
    string_element(client.variable, 2) = delta.release();
    EXPECT_EQ(match(list, OLESTR("delta")), 2);
    Variant copy = list.get_StringList();
    EXPECT_NE(copy.get().parray, client.variable);
    EXPECT_EQ(bstr_view(string_element(copy.get().parray, 0)), OLESTR("alpha"));
  }
  // Released: the caller's array and strings are intact, and two lines say so.
  EXPECT_EQ(client.at(0), OLESTR("alpha"));
  EXPECT_EQ(client.at(2), OLESTR("delta"));
  const std::string prefix = "02-01-26 09:05:03.007\tCorvane\tclsStringList.Class_Terminate: ";
  EXPECT_EQ(h.detail_lines(),
            (std::vector<std::string>{prefix + "Before Clearing VarPtrStringArray(m_sStringList)",
                                      prefix + "After Clearing VarPtrStringArray(m_sStringList)"}));
}

TEST(ArraySharing, RefillingASharedListLeavesTheCallersStrings) {
  TraceHarness h;
  h.init(2);
  ClientArray client(0, {OLESTR("one"), OLESTR("two")});
  BSTR first = string_element(client.variable, 0);
  clsStringList list;
  list.AssignStringList(client.address());

  // The put detaches, then copies.
  ClientArray other(0, {OLESTR("x")});
  Variant v;
  v.get().vt = VT_ARRAY | VT_BSTR;
  v.get().parray = other.variable;
  list.put_StringList(v.get());
  v.get().vt = VT_EMPTY;
  EXPECT_NE(list.string_list(), client.variable);
  EXPECT_EQ(string_element(client.variable, 0), first);
  EXPECT_EQ(client.at(1), OLESTR("two"));

  // The list-box transfer detaches too.
  list.AssignStringList(client.address());
  testing::FakeDispatch box;
  box.items = {"from the box"};
  VARIANT control = box.as_variant();
  list.TransferVBListBoxToStringList(control);
  EXPECT_EQ(client.at(0), OLESTR("one"));
  EXPECT_EQ(bstr_view(string_element(list.string_list(), 0)), OLESTR("from the box"));

  // A bad put while shared empties the list without touching the caller.
  list.AssignStringList(client.address());
  Variant number;
  number.get().vt = VT_I4;
  list.put_StringList(number.get());
  EXPECT_EQ(list.string_list(), nullptr);
  EXPECT_EQ(client.at(1), OLESTR("two"));
}

TEST(ArraySharing, OneInstanceSharesAnothersList) {
  TraceHarness h;
  h.init(2);
  ClientArray client(0, {OLESTR("a"), OLESTR("b"), OLESTR("c")});
  // Released in the order owner last, and owner first.
  for (bool owner_last : {true, false}) {
    auto owner = std::make_unique<clsStringList>();
    Variant v;
    v.get().vt = VT_ARRAY | VT_BSTR;
    v.get().parray = client.variable;
    owner->put_StringList(v.get());  // owner has its own copy
    v.get().vt = VT_EMPTY;
    auto reader = std::make_unique<clsStringList>();
    reader->AssignStringList(owner->ppStringListDescriptor());
    EXPECT_EQ(match(*reader, OLESTR("c")), 2);
    reader->ReplaceString(0, OLESTR("A"));
    EXPECT_EQ(bstr_view(string_element(owner->string_list(), 0)), OLESTR("A"));
    if (owner_last) {
      reader.reset();
      EXPECT_EQ(match(*owner, OLESTR("b")), 1);
      owner.reset();
    } else {
      owner.reset();
      reader.reset();  // only lets go of its copy of the header
    }
  }
  // The owner re-pointed elsewhere keeps its old list for its reader.
  clsStringList owner;
  Variant v;
  v.get().vt = VT_ARRAY | VT_BSTR;
  v.get().parray = client.variable;
  owner.put_StringList(v.get());
  v.get().vt = VT_EMPTY;
  clsStringList reader;
  reader.AssignStringList(owner.ppStringListDescriptor());
  ClientArray second(0, {OLESTR("z")});
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
  from_empty.ReplaceString(0, OLESTR("x"));
  EXPECT_NE(testing::read_file(h.detail_log()).find("No strings in StringList. Error 9:"),
            std::string::npos);
}

TEST(ArraySharing, BadArraysAndAddressesRaiseClearErrors) {
  TraceHarness h;
  h.init(2);
  clsStringList list;
  ClientArray kept(0, {OLESTR("kept")});
  list.AssignStringList(kept.address());

  SAFEARRAYBOUND bound{3, 0};
  SafeArrayPtr longs(SafeArrayCreate(VT_I4, 1, &bound));
  SAFEARRAY* longs_variable = longs.get();
  const std::string message =
      raised([&] { list.AssignStringList(reinterpret_cast<std::intptr_t>(&longs_variable)); });
  EXPECT_EQ(message.rfind(
                "-1 Non string array descriptor passed to AssignStringList\r\nRaised at line ", 0),
            0u)
      << message;
  EXPECT_NE(message.find(" in in Corvane.modArrayUtils.CopyOfStringArrayDescriptor1D.\r\n"
                         "Raised at line "),
            std::string::npos);
  const std::string tail = " in in Corvane.clsStringList.AssignStringList.";
  ASSERT_GT(message.size(), tail.size());
  EXPECT_EQ(message.substr(message.size() - tail.size()), tail);
  EXPECT_EQ(match(list, OLESTR("kept")), 0);  // unchanged

  SafeArrayPtr grid = create_string_array({{2, 0}, {2, 0}});
  SAFEARRAY* grid_variable = grid.get();
  EXPECT_EQ(raised([&] {
              list.AssignStringList(reinterpret_cast<std::intptr_t>(&grid_variable));
            }).rfind("-1 Array descriptor passed to AssignStringList is not one-dimensional", 0),
            0u);

  // Addresses that cannot be read: 1, and a page that may not be read (the
  // state of memory that was given back).
  EXPECT_EQ(raised([&] {
              list.AssignStringList(1);
            }).rfind("-1 Unreadable memory address passed to AssignStringList: 1\r\n", 0),
            0u);
#ifdef _WIN32
  void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
#else
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
#endif
  EXPECT_NE(raised([&] {
              list.AssignStringList(reinterpret_cast<std::intptr_t>(page));
            }).find("Unreadable memory address"),
            std::string::npos);
  SAFEARRAY* dangling = static_cast<SAFEARRAY*>(page);
  EXPECT_NE(raised([&] {
              list.AssignStringList(reinterpret_cast<std::intptr_t>(&dangling));
            }).find("Unreadable memory address"),
            std::string::npos);
  EXPECT_EQ(match(list, OLESTR("kept")), 0);
  EXPECT_EQ(raised([&] { list.AssignStringList(0); }), "nothing raised");
#ifdef _WIN32
  VirtualFree(page, 0, MEM_RELEASE);
#else
  munmap(page, 4096);
#endif
}

TEST(ArraySharing, AssignBeforeAnyInitAndFailedAssignRelease) {
  TraceHarness h;  // no Init in this apartment yet
  ClientArray client(0, {OLESTR("only")});
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
    Variant v;
    v.get().vt = VT_ARRAY | VT_BSTR;
    v.get().parray = client.variable;
    list.put_StringList(v.get());
    v.get().vt = VT_EMPTY;
    EXPECT_NE(raised([&] { list.AssignStringList(1); }), "nothing raised");
    EXPECT_EQ(match(list, OLESTR("only")), 0);
  }
  EXPECT_EQ(h.detail_lines().size(), 2u);
}

}  // namespace
}  // namespace corvane
