// The string list object through its C++ interface: filling, reading back,
// replacing, the list-box transfer, Init, release, and every bad input ending
// in its logged or boxed form with the call returning normally.
#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <utility>

#include "automation/bstr.h"
#include "automation/safe_array.h"
#include "string_list/clsStringList.h"
#include "support/fake_list_box.h"
#include "support/log_capture.h"
#include "trace/module_values.h"

namespace corvane {
namespace {

using testing::TraceHarness;

Variant string_array(std::int32_t lower, const std::vector<OleString>& items) {
  return string_array_variant(string_array_from(lower, items));
}

// The list as (lower bound, entries); lower bound -99 when there is no array.
std::pair<std::int32_t, std::vector<OleString>> contents(clsStringList& list) {
  Variant v = list.get_StringList();
  EXPECT_EQ(v.get().vt, VT_ARRAY | VT_BSTR);
  SAFEARRAY* a = v.get().parray;
  if (a == nullptr) return {-99, {}};
  std::vector<OleString> items;
  for (std::int32_t i = array_lower_bound(a); i <= array_upper_bound(a); ++i) {
    items.emplace_back(bstr_view(string_element(a, i)));
  }
  return {array_lower_bound(a), items};
}

// A variant of that type holding `text` (a string) or nothing.
Variant of(VARTYPE vt, const OLECHAR* text = nullptr) {
  Variant v;
  v.get().vt = vt;
  if (text != nullptr) v.get().bstrVal = SysAllocString(text);
  return v;
}

// A by-reference variant of that type pointing at `cell`.
VARIANT by_ref(VARTYPE vt, void* cell) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | vt;
  v.byref = cell;
  return v;
}

// Whether the last box's text starts with `text`.
bool box_starts(const TraceHarness& h, const std::string& text) {
  return h.boxes.last().text.rfind(text, 0) == 0;
}

const std::string kTransfer = "\r\nin Corvane.clsStringList.TransferVBListBoxToStringList.\r\n";

class StringList : public ::testing::Test {
 protected:
  StringList() { h.init(); }
  TraceHarness h;
  clsStringList list;
};

TEST_F(StringList, NewInstanceIsEmptyAndReplaceLogsNoStrings) {
  EXPECT_EQ(contents(list).first, -99);
  EXPECT_TRUE(h.detail_lines().empty());  // creating writes nothing
  list.ReplaceString(0, OLESTR("x"));
  EXPECT_TRUE(h.errors_logged("clsStringList.ReplaceString",
                              "No strings in StringList. Error 9:\r\nSubscript out of range"));
  EXPECT_EQ(list.string_list(), nullptr);
}

TEST_F(StringList, PutKeepsBoundsAndGetReturnsACopy) {
  Variant source = string_array(5, {OLESTR("a"), OLESTR("b"), OLESTR("c")});
  list.put_StringList(source.get());
  // The list is a copy: changing the caller's array afterwards changes nothing.
  SysFreeString(
      std::exchange(string_element(source.get().parray, 5), Bstr(OLESTR("changed")).release()));
  EXPECT_EQ(contents(list),
            std::make_pair(5, std::vector<OleString>{OLESTR("a"), OLESTR("b"), OLESTR("c")}));
  // And so is what the get hands out.
  Variant copy = list.get_StringList();
  EXPECT_NE(copy.get().parray, list.string_list());

  for (std::int32_t index : {4, 8, 7, 5}) {
    list.ReplaceString(index, index == 5 ? OLESTR("") : OLESTR("z"));
  }
  EXPECT_EQ(contents(list).second, (std::vector<OleString>{OLESTR(""), OLESTR("b"), OLESTR("z")}));
  const std::string outside = "Index for string to be replaced is outside of range of array: ";
  EXPECT_TRUE(h.errors_logged("clsStringList.ReplaceString", outside + "4"));
  EXPECT_TRUE(h.errors_logged("clsStringList.ReplaceString", outside + "8"));
  EXPECT_EQ(h.detail_lines().size(), 3u);  // and the errors file's creation
}

// The object's own list handed back to it through its descriptor: the list
// is copied before the old one goes, so it comes back the same.
TEST_F(StringList, PutOfItsOwnListThroughTheDescriptor) {
  const std::vector<OleString> items = {OleString(40, u'a'), OleString(40, u'b'),
                                        OleString(40, u'c')};
  list.put_StringList(string_array(2, items).get());
  list.put_StringList(
      by_ref(VT_ARRAY | VT_BSTR, reinterpret_cast<void*>(list.ppStringListDescriptor())));
  EXPECT_EQ(contents(list), std::make_pair(2, items));
  EXPECT_TRUE(h.boxes.boxes.empty());
}

// Each value that is no list of strings, and what the client sees: the list
// emptied, with the property's box unless the value is a String() variable
// that holds no array.
TEST_F(StringList, BadPutsEmptyTheList) {
  const Variant number = of(VT_I4), text = of(VT_BSTR, OLESTR("abc"));
  Variant variants = of(VT_ARRAY | VT_VARIANT), no_array = of(VT_ARRAY | VT_BSTR);
  SAFEARRAYBOUND b{2, 0};
  variants.get().parray = SafeArrayCreate(VT_VARIANT, 1, &b);
  const std::pair<const Variant*, bool> cases[] = {
      {&number, true}, {&text, true}, {&variants, true}, {&no_array, false}};
  for (const auto& [bad, boxed] : cases) {
    list.put_StringList(string_array(0, {OLESTR("kept?")}).get());
    const std::size_t boxes = h.boxes.boxes.size();
    list.put_StringList(bad->get());
    EXPECT_EQ(list.string_list(), nullptr) << bad->get().vt;
    ASSERT_EQ(h.boxes.boxes.size(), boxes + (boxed ? 1 : 0)) << bad->get().vt;
    if (!boxed) continue;
    EXPECT_TRUE(box_starts(h,
                           "Error -1: Unexpected parameter passed to StringList property\r\n"
                           "in Corvane.clsStringList.StringList.\r\nThe error occured at line: "));
    EXPECT_EQ(h.boxes.last().title, "Error");
    EXPECT_EQ(h.boxes.last().style, 4096);
  }
  EXPECT_EQ(h.screen.resets, 3);

  // Two dimensions are taken as they are; a single index on them is out of
  // range, which ReplaceString's trap shows.
  SafeArrayPtr grid = create_string_array({{2, 1}, {3, -1}});
  SAFEARRAY* cell = grid.get();
  list.put_StringList(by_ref(VT_ARRAY | VT_BSTR, &cell));
  ASSERT_NE(list.string_list(), nullptr);
  EXPECT_EQ(array_lower_bound(list.string_list(), 2), -1);
  list.ReplaceString(1, OLESTR("x"));
  EXPECT_EQ(
      h.shown("Error 9: Subscript out of range\r\nin Corvane.clsStringList.ReplaceString.\r\n"),
      1u);
  EXPECT_EQ(h.boxes.last().title, "Quillon Warning Message");
}

TEST_F(StringList, ListBoxTransfer) {
  testing::FakeDispatch box;
  box.items = {"zulu", "alpha", "mike"};
  list.TransferVBListBoxToStringList(box.as_variant());
  EXPECT_EQ(contents(list).second,
            (std::vector<OleString>{OLESTR("zulu"), OLESTR("alpha"), OLESTR("mike")}));
  EXPECT_EQ(box.list_count_reads, 2);
  EXPECT_EQ(box.list_reads, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(box.refs, 1u);  // the control is released again
  // An empty list box leaves the list as it was.
  testing::FakeDispatch empty;
  list.TransferVBListBoxToStringList(empty.as_variant());
  EXPECT_EQ(contents(list).second.size(), 3u);
  EXPECT_EQ(empty.list_count_reads, 1);
  // By reference works too.
  testing::FakeDispatch one;
  one.items = {"solo"};
  IDispatch* held = &one;
  list.TransferVBListBoxToStringList(by_ref(VT_DISPATCH, &held));
  EXPECT_EQ(contents(list).second, std::vector<OleString>{OLESTR("solo")});
  EXPECT_TRUE(h.detail_lines().empty());
}

// Each failing list-box call, the error its box shows and the list after it
// (a failing item: the list was already re-created and keeps what was read).
TEST_F(StringList, ListBoxFailuresEndInTheTrap) {
  struct Case {
    std::function<void(testing::FakeDispatch&)> set_up;
    std::string error;
    std::vector<OleString> after;
  };
  const std::vector<OleString> before = {OLESTR("before")};
  const Case cases[] = {
      {[](auto& box) { box.is_list_box = false; }, "Error 13: Type mismatch", before},
      {[](auto& box) { box.count_override = 40000; }, "Error 6: Overflow", before},
      {[](auto& box) {
         box.items = {"one", "two", "three"}, box.failing_index = 1;
       },
       "Error 380: Invalid property value",
       {OLESTR("one"), OLESTR(""), OLESTR("")}},
      // A control that fills in its exception only when asked: its own number
      // and description reach the message.
      {[](auto& box) { box.items = {"one"}, box.failing_index = 0, box.deferred_fill_in = true; },
       std::string("Error 380: ") + testing::FakeDispatch::kDeferredDescription,
       {OLESTR("")}}};
  for (const Case& c : cases) {
    list.put_StringList(string_array(0, before).get());
    testing::FakeDispatch box;
    c.set_up(box);
    list.TransferVBListBoxToStringList(box.as_variant());
    EXPECT_TRUE(box_starts(h, c.error + kTransfer)) << c.error;
    EXPECT_EQ(contents(list).second, c.after) << c.error;
    EXPECT_EQ(box.refs, 1u) << c.error;
  }
  // A name, and no object at all.
  const Variant name = of(VT_BSTR, OLESTR("List1")), nothing = of(VT_DISPATCH);
  const std::pair<const Variant*, std::string> objects[] = {
      {&name, "Error 13: Type mismatch"},
      {&nothing, "Error 91: Object variable or With block variable not set"}};
  for (const auto& [bad, error] : objects) {
    list.TransferVBListBoxToStringList(bad->get());
    EXPECT_TRUE(box_starts(h, error + kTransfer)) << error;
  }
  EXPECT_EQ(h.screen.resets, 6);
}

TEST(StringListInit, IsApartmentWideAndPerApartment) {
  TraceHarness h;
  clsStringList a;
  clsStringList b;
  a.Init(h.detail_log(), h.summary_log(), testing::ole_path(h.folder.path()), 4);
  const auto& values = modVBTrace::module_values();
  EXPECT_EQ(values.process_name, std::optional<OleString>(OLESTR("Corvane")));
  EXPECT_EQ(values.detail_log_path, h.detail_log());
  EXPECT_EQ(values.summary_log_path, h.summary_log());
  EXPECT_EQ(values.trace_level, 4);
  // b's entries land in the log a named.
  b.ReplaceString(0, OLESTR("x"));
  EXPECT_NE(testing::read_file(h.detail_log()).find("No strings in StringList"), std::string::npos);

  // Another apartment starts unset and keeps its own values.
  std::int32_t other_level_before = 99;
  std::thread other([&] {
    other_level_before = modVBTrace::module_values().trace_level;
    clsStringList there;
    there.Init(OLESTR("elsewhere.log"), OLESTR(""), OLESTR(""), 1);
  });
  other.join();
  EXPECT_EQ(other_level_before, 0);
  EXPECT_EQ(values.detail_log_path, h.detail_log());

  // Nothing is checked: empty paths and any level are stored as given.
  const std::size_t written = h.detail_lines().size();
  b.Init(OLESTR(""), OLESTR(""), OLESTR(""), -7);
  EXPECT_TRUE(values.detail_log_path.empty());
  EXPECT_EQ(values.trace_level, -7);
  a.ReplaceString(0, OLESTR("y"));
  EXPECT_EQ(h.detail_lines().size(), written);  // nothing more written
}

// Releasing an object that was given a caller's array while the detail log
// fails: the release's own trap keeps anything from escaping, the object and
// its lists go, and the lines go where the failure sends them.
TEST(StringListRelease, WhileTheDetailLogFails) {
  const std::string source = "clsStringList.Class_Terminate";
  const std::string before = "Before Clearing VarPtrStringArray(m_sStringList)";
  const std::string after = "After Clearing VarPtrStringArray(m_sStringList)";
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
      list.put_StringList(string_array(0, {OLESTR("own")}).get());
      list.AssignStringList(reinterpret_cast<std::intptr_t>(&variable));
    }
    EXPECT_EQ(bstr_view(string_element(client.get(), 0)), OLESTR("mine"));
    EXPECT_EQ(testing::read_file(h.detail_log()), "");
    auto shown = [&](const std::string& text) {
      return "Corvane\t" + source + ": " + text + "\r\n";
    };
    auto fallback = [&](const std::string& text) {
      const std::string line = h.stamped(source, text);
      return "Couldn't open log in GlobalLog. Msg = " + line.substr(0, line.size() - 2);
    };
    // A log that cannot be opened sends each line to the debugger instead;
    // a failing write raises, and the trap ends the release's lines there.
    std::vector<std::string> expected = {shown(before)};
    if (opens_fail) expected = {shown(before), fallback(before), shown(after), fallback(after)};
    EXPECT_EQ(h.debug_output.lines, expected);
  }
}

}  // namespace
}  // namespace corvane
