// The string list object through its C++ interface: filling, reading back,
// replacing, the list-box transfer, Init, release, and every bad input ending
// in its logged or boxed form with the call returning normally.
#include <thread>

#include "support/fake_list_box.h"
#include "trace/module_values.h"

namespace corvane {
namespace {

using testing::FakeDispatch;
using testing::fill;
using testing::of_type;
using testing::TraceHarness;
using StringList = testing::ListTest;

// The list as the property's get hands it out: always a copy.
std::string got(clsStringList& list) {
  Variant v = list.get_StringList();
  EXPECT_EQ(v.get().vt, VT_ARRAY | VT_BSTR);
  EXPECT_TRUE(v.get().parray == nullptr || v.get().parray != list.string_list());
  return testing::listed(v.get().parray);
}

const char* const kReplace = "clsStringList.ReplaceString";

TEST_F(StringList, PutKeepsBoundsAndReplaceStaysInThem) {
  EXPECT_EQ(got(list), "none");
  Variant source = string_array_variant(string_array_from(5, testing::words("a b c")));
  list.put_StringList(source.get());
  for (std::int32_t index : {4, 8, 7, 5}) {
    list.ReplaceString(index, index == 5 ? OLESTR("") : OLESTR("z"));
  }
  EXPECT_EQ(got(list), "5:|b|z");
  // The list is a copy: the caller's array is as it was. A variant by
  // reference that holds it is taken as the array.
  EXPECT_EQ(testing::listed(source.get().parray), "5:a|b|c");
  list.put_StringList(of_type(VT_BYREF | VT_VARIANT, &source.get()));
  EXPECT_EQ(got(list), "5:a|b|c");
  const std::string outside = "Index for string to be replaced is outside of range of array: ";
  EXPECT_TRUE(h.errors_logged(kReplace, outside + "4"));
  EXPECT_TRUE(h.errors_logged(kReplace, outside + "8"));
  EXPECT_EQ(h.detail_lines().size(), 3u);  // and the errors file's creation
}

// The object's own list handed back to it through its descriptor: the list
// is copied before the old one goes, so it comes back the same.
TEST_F(StringList, PutOfItsOwnListThroughTheDescriptor) {
  const std::string a(40, 'a'), b(40, 'b');
  fill(list, 2, a + " " + b);
  list.put_StringList(of_type(VT_BYREF | VT_ARRAY | VT_BSTR,
                              reinterpret_cast<void*>(list.ppStringListDescriptor())));
  EXPECT_EQ(got(list), "2:" + a + "|" + b);
  EXPECT_TRUE(h.boxes.boxes.empty());
}

// Each value that is no list of strings empties the list, with the
// property's box unless it is a String() variable that holds no array.
TEST_F(StringList, BadPutsEmptyTheList) {
  Bstr text(OLESTR("abc"));
  SAFEARRAYBOUND bound{2, 0};
  SafeArrayPtr variants(SafeArrayCreate(VT_VARIANT, 1, &bound));
  const std::pair<VARIANT, std::size_t> cases[] = {
      {of_type(VT_I4), 1},
      {of_type(VT_BSTR, text.get()), 1},
      {of_type(VT_ARRAY | VT_VARIANT, variants.get()), 1},
      {of_type(VT_ARRAY | VT_BSTR), 0}};
  for (const auto& [bad, boxed] : cases) {
    fill(list, 0, "kept?");
    const std::size_t boxes = h.boxes.boxes.size();
    list.put_StringList(bad);
    EXPECT_EQ(list.string_list(), nullptr) << bad.vt;
    EXPECT_EQ(h.boxes.boxes.size(), boxes + boxed) << bad.vt;
  }
  EXPECT_EQ(h.shown("Error -1: Unexpected parameter passed to StringList property\r\n"
                    "in Corvane.clsStringList.StringList.\r\nThe error occured at line: "),
            3u);
  EXPECT_EQ(h.boxes.last().title, "Error");

  // Two dimensions are taken as they are; a single index on them is out of
  // range, which ReplaceString's trap shows.
  SafeArrayPtr grid = create_string_array({{2, 1}, {3, -1}});
  SAFEARRAY* cell = grid.get();
  list.put_StringList(of_type(VT_BYREF | VT_ARRAY | VT_BSTR, &cell));
  ASSERT_NE(list.string_list(), nullptr);
  EXPECT_EQ(array_lower_bound(list.string_list(), 2), -1);
  list.ReplaceString(1, OLESTR("x"));
  EXPECT_EQ(
      h.shown("Error 9: Subscript out of range\r\nin Corvane.clsStringList.ReplaceString.\r\n"),
      1u);
  EXPECT_EQ(h.boxes.last().title, "Quillon Warning Message");
}

TEST_F(StringList, ListBoxTransfer) {
  FakeDispatch box({"zulu", "alpha", "mike"}), empty, one({"solo"});
  list.TransferVBListBoxToStringList(box.as_variant());
  EXPECT_EQ(got(list), "0:zulu|alpha|mike");
  EXPECT_EQ(box.list_count_reads, 2);
  EXPECT_EQ(box.refs, 1u);  // the control is released again
  // An empty list box leaves the list as it was; by reference works too.
  list.TransferVBListBoxToStringList(empty.as_variant());
  EXPECT_EQ(got(list), "0:zulu|alpha|mike");
  EXPECT_EQ(empty.list_count_reads, 1);
  IDispatch* held = &one;
  list.TransferVBListBoxToStringList(of_type(VT_BYREF | VT_DISPATCH, &held));
  EXPECT_EQ(got(list), "0:solo");
  EXPECT_TRUE(h.detail_lines().empty());
  // Each failing call, the error its box shows and the list after it (a
  // failing item: the list was already re-created and keeps what was read).
  FakeDispatch not_a_list_box, too_many, failing({"one", "two", "three"}), deferred({"one", "two"});
  not_a_list_box.is_list_box = false;
  too_many.count_override = 40000;
  failing.failing_index = deferred.failing_index = 1;
  // A control that fills in its exception only when asked: its own number
  // and description reach the message.
  deferred.deferred_fill_in = true;
  const std::tuple<FakeDispatch*, std::string, std::string> cases[] = {
      {&not_a_list_box, "13: Type mismatch", "0:before"},
      {&too_many, "6: Overflow", "0:before"},
      {&failing, "380: Invalid property value", "0:one||"},
      {&deferred, std::string("380: ") + FakeDispatch::kDeferredDescription, "0:one|"}};
  const std::string transfer = "\r\nin Corvane.clsStringList.TransferVBListBoxToStringList.\r\n";
  for (const auto& [box, error, after] : cases) {
    fill(list, 0, "before");
    list.TransferVBListBoxToStringList(box->as_variant());
    EXPECT_EQ(h.boxes.last().text.rfind("Error " + error + transfer, 0), 0u) << error;
    EXPECT_EQ(got(list), after) << error;
    EXPECT_EQ(box->refs, 1u) << error;
  }
  // A name, and no object at all.
  Bstr name(OLESTR("List1"));
  list.TransferVBListBoxToStringList(of_type(VT_BSTR, name.get()));
  EXPECT_EQ(h.shown("Error 13: Type mismatch" + transfer), 2u);
  list.TransferVBListBoxToStringList(of_type(VT_DISPATCH));
  EXPECT_EQ(h.shown("Error 91: Object variable or With block variable not set" + transfer), 1u);
}

TEST(StringListInit, IsApartmentWideAndPerApartment) {
  TraceHarness h;
  clsStringList a, b;
  a.Init(h.detail_log(), h.summary_log(), testing::ole_path(h.folder.path()), 4);
  const auto& values = modVBTrace::module_values();
  EXPECT_EQ(values.process_name, std::optional<OleString>(OLESTR("Corvane")));
  EXPECT_EQ(values.summary_log_path, h.summary_log());
  EXPECT_EQ(values.trace_level, 4);
  // b's entries land in the log a named.
  b.ReplaceString(0, OLESTR("x"));
  EXPECT_TRUE(
      h.errors_logged(kReplace, "No strings in StringList. Error 9:\r\nSubscript out of range"));

  // Another apartment starts unset and keeps its own values.
  std::int32_t other_level_before = 99;
  std::thread([&] {
    other_level_before = modVBTrace::module_values().trace_level;
    clsStringList().Init(OLESTR("elsewhere.log"), OLESTR(""), OLESTR(""), 1);
  }).join();
  EXPECT_EQ(other_level_before, 0);
  EXPECT_EQ(values.detail_log_path, h.detail_log());

  // Nothing is checked: empty paths and any level are stored as given.
  const std::size_t written = h.detail_lines().size();
  b.Init(OLESTR(""), OLESTR(""), OLESTR(""), -7);
  EXPECT_EQ(values.trace_level, -7);
  a.ReplaceString(0, OLESTR("y"));
  EXPECT_EQ(h.detail_lines().size(), written);  // nothing more written
}

// Releasing an object that was given a caller's array while the detail log
// fails: the release's own trap keeps anything from escaping, the object and
// its lists go, and the lines go where the failure sends them.
TEST(StringListRelease, WhileTheDetailLogFails) {
  const std::string line = "Corvane\tclsStringList.Class_Terminate: ";
  for (const bool opens_fail : {true, false}) {
    TraceHarness h;
    h.init(2);
    testing::FaultyFiles files;
    platform::Files::Override use(files);
    files.opens_to_fail = opens_fail ? 1000 : 0;
    files.fail_writes = !opens_fail;
    SafeArrayPtr client = string_array_from(0, {OLESTR("mine")});
    SAFEARRAY* variable = client.get();
    {
      clsStringList list;
      fill(list, 0, "own");
      list.AssignStringList(reinterpret_cast<std::intptr_t>(&variable));
    }
    EXPECT_EQ(testing::listed(client.get()), "0:mine");
    EXPECT_EQ(testing::read_file(h.detail_log()), "");
    // A log that cannot be opened sends each line to the debugger instead
    // (and its fallback line); a failing write raises, and the trap ends the
    // release's lines there.
    const std::vector<std::string>& lines = h.debug_output.lines;
    ASSERT_EQ(lines.size(), opens_fail ? 4u : 1u);
    EXPECT_EQ(lines[0], line + "Before Clearing VarPtrStringArray(m_sStringList)\r\n");
    EXPECT_EQ(lines[opens_fail ? 2 : 0], line + (opens_fail ? "After" : "Before") +
                                             " Clearing VarPtrStringArray(m_sStringList)\r\n");
  }
}

}  // namespace
}  // namespace corvane
