// The string list object through its C++ interface: filling, reading back,
// replacing, the list-box transfer, Init, and every bad input ending in its
// logged or boxed form with the call returning normally.
#include <gtest/gtest.h>

#include <thread>

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

std::string log_text(const TraceHarness& h) {
  return testing::read_file(h.detail_log());
}

bool logged(const TraceHarness& h, const std::string& text) {
  return log_text(h).find(text) != std::string::npos;
}

TEST(StringList, NewInstanceIsEmptyAndReplaceLogsNoStrings) {
  TraceHarness h;
  h.init();
  clsStringList list;
  EXPECT_EQ(list.string_list(), nullptr);
  EXPECT_EQ(contents(list).first, -99);
  EXPECT_TRUE(h.detail_lines().empty());  // creating writes nothing

  list.ReplaceString(0, OLESTR("x"));
  EXPECT_EQ(log_text(h),
            "02-01-26 09:05:03.007\tCorvane\tmodVBTrace.GlobalErrorsLog: GlobalErrorsLog >>> "
            "clsStringList.ReplaceString\tNo strings in StringList. Error 9:\r\n"
            "Subscript out of range\tSeverity: 2\r\n"
            "02-01-26 09:05:03.007\tCorvane\tmodVBTrace.WriteErrorNode: Attempting to open: " +
                testing::narrow(h.errors_file_as_logged()) + "\r\n");
  EXPECT_EQ(list.string_list(), nullptr);
}

TEST(StringList, PutKeepsBoundsAndGetReturnsACopy) {
  TraceHarness h;
  h.init();
  clsStringList list;
  Variant source = string_array(5, {OLESTR("a"), OLESTR("b"), OLESTR("c")});
  list.put_StringList(source.get());
  // The list is a copy: changing the caller's array afterwards changes nothing.
  SysFreeString(string_element(source.get().parray, 5));
  string_element(source.get().parray, 5) = SysAllocString(OLESTR("changed"));
  EXPECT_EQ(contents(list),
            std::make_pair(5, std::vector<OleString>{OLESTR("a"), OLESTR("b"), OLESTR("c")}));
  // And so is what the get hands out.
  Variant copy = list.get_StringList();
  EXPECT_NE(copy.get().parray, list.string_list());
  SysFreeString(string_element(copy.get().parray, 6));
  string_element(copy.get().parray, 6) = SysAllocString(OLESTR("other"));
  EXPECT_EQ(contents(list).second[1], OLESTR("b"));

  list.ReplaceString(4, OLESTR("x"));
  list.ReplaceString(8, OLESTR("y"));
  list.ReplaceString(7, OLESTR("z"));
  list.ReplaceString(5, OLESTR(""));
  EXPECT_EQ(contents(list).second, (std::vector<OleString>{OLESTR(""), OLESTR("b"), OLESTR("z")}));
  EXPECT_TRUE(logged(h,
                     "clsStringList.ReplaceString\tIndex for string to be replaced is outside "
                     "of range of array: 4\tSeverity: 2\r\n"));
  EXPECT_TRUE(logged(h, "outside of range of array: 8\tSeverity: 2\r\n"));
  EXPECT_EQ(h.detail_lines().size(), 3u);  // and the errors file's creation
}

TEST(StringList, PutAcceptsAnyStringArrayAndNothingElse) {
  TraceHarness h;
  h.init();
  clsStringList list;

  // Two dimensions, any bounds, passed by reference.
  SafeArrayPtr grid = create_string_array({{2, 1}, {3, -1}});
  LONG at[] = {2, 1};
  Bstr corner(OLESTR("corner"));
  ASSERT_EQ(SafeArrayPutElement(grid.get(), at, corner.get()), S_OK);
  SAFEARRAY* cell = grid.get();
  VARIANT by_ref;
  VariantInit(&by_ref);
  by_ref.vt = VT_BYREF | VT_ARRAY | VT_BSTR;
  by_ref.pparray = &cell;
  list.put_StringList(by_ref);
  ASSERT_NE(list.string_list(), nullptr);
  EXPECT_EQ(list.string_list()->cDims, 2);
  EXPECT_EQ(array_lower_bound(list.string_list(), 2), -1);
  BSTR got = nullptr;
  ASSERT_EQ(SafeArrayGetElement(list.string_list(), at, &got), S_OK);
  EXPECT_EQ(Bstr::attach(got).view(), OLESTR("corner"));
  // A single index on two dimensions is out of range: the trap's box.
  list.ReplaceString(1, OLESTR("x"));
  EXPECT_EQ(
      h.shown("Error 9: Subscript out of range\r\nin Corvane.clsStringList.ReplaceString.\r\n"),
      1u);
  EXPECT_EQ(h.boxes.last().title, "Quillon Warning Message");
  EXPECT_EQ(h.screen.resets, 1);

  // A number, a string, an array of variants: list emptied, box shown, no error.
  Variant number;
  number.get().vt = VT_I4;
  number.get().lVal = 3;
  Variant text;
  text.get().vt = VT_BSTR;
  text.get().bstrVal = SysAllocString(OLESTR("abc"));
  Variant variants;
  variants.get().vt = VT_ARRAY | VT_VARIANT;
  SAFEARRAYBOUND b{2, 0};
  variants.get().parray = SafeArrayCreate(VT_VARIANT, 1, &b);
  for (const Variant* bad : {&number, &text, &variants}) {
    list.put_StringList(string_array(0, {OLESTR("kept?")}).get());
    list.put_StringList(bad->get());
    EXPECT_EQ(list.string_list(), nullptr);
  }
  EXPECT_EQ(h.shown("Error -1: Unexpected parameter passed to StringList property\r\n"
                    "in Corvane.clsStringList.StringList.\r\nThe error occured at line: "),
            3u);
  EXPECT_EQ(h.boxes.last().title, "Error");
  EXPECT_EQ(h.boxes.last().style, 4096);
  EXPECT_EQ(h.screen.resets, 4);

  // A String() variable that holds no array empties the list without a box.
  Variant no_array;
  no_array.get().vt = VT_ARRAY | VT_BSTR;
  list.put_StringList(string_array(0, {OLESTR("x")}).get());
  list.put_StringList(no_array.get());
  EXPECT_EQ(list.string_list(), nullptr);
  EXPECT_EQ(h.screen.resets, 4);
}

TEST(StringList, ListBoxTransfer) {
  TraceHarness h;
  h.init();
  clsStringList list;
  testing::FakeDispatch box;
  box.items = {"zulu", "alpha", "mike"};
  VARIANT v = box.as_variant();
  list.TransferVBListBoxToStringList(v);
  EXPECT_EQ(
      contents(list),
      std::make_pair(0, std::vector<OleString>{OLESTR("zulu"), OLESTR("alpha"), OLESTR("mike")}));
  EXPECT_EQ(box.list_count_reads, 2);
  EXPECT_EQ(box.list_reads, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(box.refs, 1u);  // the control is released again
  EXPECT_TRUE(h.detail_lines().empty());

  // An empty list box leaves the list as it was.
  testing::FakeDispatch empty;
  VARIANT e = empty.as_variant();
  list.TransferVBListBoxToStringList(e);
  EXPECT_EQ(contents(list).second.size(), 3u);
  EXPECT_EQ(empty.list_count_reads, 1);

  // By reference works too.
  testing::FakeDispatch one;
  one.items = {"solo"};
  IDispatch* held = &one;
  VARIANT by_ref;
  VariantInit(&by_ref);
  by_ref.vt = VT_BYREF | VT_DISPATCH;
  by_ref.ppdispVal = &held;
  list.TransferVBListBoxToStringList(by_ref);
  EXPECT_EQ(contents(list).second, std::vector<OleString>{OLESTR("solo")});
}

TEST(StringList, ListBoxFailuresEndInTheTrap) {
  TraceHarness h;
  h.init();
  clsStringList list;
  list.put_StringList(string_array(0, {OLESTR("before")}).get());
  const std::string label = "in Corvane.clsStringList.TransferVBListBoxToStringList.";

  testing::FakeDispatch not_a_list_box;
  not_a_list_box.is_list_box = false;
  VARIANT object = not_a_list_box.as_variant();
  list.TransferVBListBoxToStringList(object);
  EXPECT_EQ(h.shown("Error 13: Type mismatch\r\n" + label), 1u);
  Variant text;
  text.get().vt = VT_BSTR;
  text.get().bstrVal = SysAllocString(OLESTR("List1"));
  list.TransferVBListBoxToStringList(text.get());
  Variant nothing;
  nothing.get().vt = VT_DISPATCH;
  nothing.get().pdispVal = nullptr;
  list.TransferVBListBoxToStringList(nothing.get());
  EXPECT_EQ(h.shown("Error 91: Object variable or With block variable not set\r\n" + label), 1u);
  EXPECT_EQ(contents(list).second, std::vector<OleString>{OLESTR("before")});

  // A count past the 16-bit range overflows.
  testing::FakeDispatch huge;
  huge.count_type = VT_I4;
  huge.count_override = 40000;
  VARIANT big = huge.as_variant();
  list.TransferVBListBoxToStringList(big);
  EXPECT_EQ(h.shown("Error 6: Overflow\r\n" + label), 1u);
  EXPECT_EQ(contents(list).second, std::vector<OleString>{OLESTR("before")});

  // A failing item: the list was already re-created and keeps what was read.
  testing::FakeDispatch failing;
  failing.items = {"one", "two", "three"};
  failing.failing_index = 1;
  VARIANT f = failing.as_variant();
  list.TransferVBListBoxToStringList(f);
  EXPECT_EQ(h.shown("Error 380: Invalid property value\r\n" + label), 1u);
  EXPECT_EQ(contents(list).second, (std::vector<OleString>{OLESTR("one"), OLESTR(""), OLESTR("")}));
  EXPECT_EQ(h.screen.resets, 5);
  EXPECT_EQ(failing.refs, 1u);

  // A control that fills in its exception only when asked: its own number
  // and description reach the message (and its texts are taken over, not
  // left behind).
  testing::FakeDispatch deferred;
  deferred.items = {"one", "two"};
  deferred.failing_index = 0;
  deferred.deferred_fill_in = true;
  VARIANT d = deferred.as_variant();
  list.TransferVBListBoxToStringList(d);
  EXPECT_EQ(h.shown(std::string("Error 380: ") + testing::FakeDispatch::kDeferredDescription +
                    "\r\n" + label),
            1u);
}

TEST(StringList, InitIsApartmentWide) {
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
  EXPECT_TRUE(logged(h, "No strings in StringList"));

  // Nothing is checked: empty paths and any level are stored as given.
  const std::size_t written = h.detail_lines().size();
  b.Init(OLESTR(""), OLESTR(""), OLESTR(""), -7);
  EXPECT_TRUE(values.detail_log_path.empty());
  EXPECT_EQ(values.trace_level, -7);
  a.ReplaceString(0, OLESTR("y"));
  EXPECT_EQ(h.detail_lines().size(), written);  // nothing more written
}

TEST(StringList, EachApartmentKeepsItsOwnValues) {
  TraceHarness h;
  clsStringList here;
  here.Init(h.detail_log(), OLESTR(""), OLESTR(""), 4);
  std::int32_t other_level_before = 99;
  OleString other_path_after;
  std::thread other([&] {
    other_level_before = modVBTrace::module_values().trace_level;
    clsStringList there;
    there.Init(OLESTR("elsewhere.log"), OLESTR(""), OLESTR(""), 1);
    other_path_after = modVBTrace::module_values().detail_log_path;
  });
  other.join();
  EXPECT_EQ(other_level_before, 0);  // a new apartment starts unset
  EXPECT_EQ(other_path_after, OLESTR("elsewhere.log"));
  EXPECT_EQ(modVBTrace::module_values().trace_level, 4);
  EXPECT_EQ(modVBTrace::module_values().detail_log_path, h.detail_log());
}

TEST(StringList, LogInAMissingFolderFallsBackAndTheCallReturns) {
  TraceHarness h;
  clsStringList list;
  list.Init(h.folder.file("gone/detail.log"), OLESTR(""), OLESTR(""), 2);
  list.ReplaceString(3, OLESTR("x"));
  ASSERT_EQ(h.debug_output.lines.size(), 2u);
  EXPECT_EQ(h.debug_output.lines[1].rfind("Couldn't open log in GlobalLog. Msg = 02-01-26", 0), 0u);
  EXPECT_NE(h.debug_output.lines[1].find("No strings in StringList. Error 9:"), std::string::npos);
}

}  // namespace
}  // namespace corvane
