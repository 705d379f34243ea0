// Automation values: the same tests run against oleaut32 (under wine) and our
// own implementation, so any difference in layout or ownership shows here.
#include <new>
#include <stdexcept>

#include "automation/error.h"
#include "automation/variant.h"
#include "support/list_fixture.h"

namespace corvane {
namespace {

using testing::of_type;
using testing::raised;

TEST(Bstr, LengthPrefixEmbeddedNulAndNull) {
  const OLECHAR text[] = {u'a', 0, u'b'};
  Bstr s(OleStringView(text, 3)), empty{OleStringView()};
  EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(s.get())[-1], 6u);
  EXPECT_EQ(s.get()[3], 0);  // terminated after the counted text
  EXPECT_EQ(s.view(), OleStringView(text, 3));
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_NE(empty.get(), nullptr);
  EXPECT_EQ(SysStringLen(empty.get()), 0u);
  EXPECT_EQ(SysStringLen(Bstr::attach(SysAllocStringLen(nullptr, 4)).get()), 4u);
}

TEST(SafeArray, DescriptorLayoutMatchesWindows) {
  // Leftmost dimension 5..6, rightmost 10..12; the descriptor keeps the
  // bounds in reverse order.
  SafeArrayPtr a = create_string_array({{2, 5}, {3, 10}});
  SAFEARRAY* psa = a.get();
  EXPECT_EQ(std::tuple(psa->cDims, psa->fFeatures, psa->cbElements, psa->rgsabound[0].lLbound,
                       psa->rgsabound[0].cElements, psa->rgsabound[1].lLbound),
            std::tuple(USHORT{2}, USHORT{FADF_BSTR | FADF_HAVEVARTYPE}, ULONG{sizeof(BSTR)},
                       LONG{10}, ULONG{3}, LONG{5}));
  EXPECT_EQ(std::tuple(array_lower_bound(psa, 1), array_upper_bound(psa, 1),
                       array_lower_bound(psa, 2), array_upper_bound(psa, 2)),
            std::tuple(5, 6, 10, 12));
  EXPECT_EQ(reinterpret_cast<DWORD*>(psa)[-1], static_cast<DWORD>(VT_BSTR));
  const std::size_t word = sizeof(void*);
  EXPECT_EQ(std::tuple(offsetof(SAFEARRAY, pvData), sizeof(SAFEARRAY), sizeof(VARIANT)),
            std::tuple(8 + word, 16 + 2 * word, 8 + 2 * word));
  // A locked array is not destroyed.
  psa->cLocks = 1;
  EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
  psa->cLocks = 0;
}

TEST(SafeArray, CopyKeepsShapeAndCopiesEveryString) {
  SafeArrayPtr a = create_string_array({{2, 1}, {2, 0}});
  BSTR* cells = static_cast<BSTR*>(a.get()->pvData);  // (1,0) (2,0) (1,1) (2,1)
  cells[0] = Bstr(OLESTR("a")).release();
  cells[3] = Bstr(OLESTR("d")).release();
  SafeArrayPtr copy = copy_string_array(a.get());
  ASSERT_NE(copy.get(), nullptr);
  EXPECT_EQ(std::tuple(copy.get()->cDims, array_lower_bound(copy.get(), 1),
                       array_upper_bound(copy.get(), 2)),
            std::tuple(USHORT{2}, 1, 1));
  BSTR* copied = static_cast<BSTR*>(copy.get()->pvData);
  EXPECT_NE(copied[0], cells[0]);  // a string of its own
  EXPECT_EQ(copied[1], nullptr);   // an empty cell stays null
  EXPECT_EQ(OleString(bstr_view(copied[0])).append(bstr_view(copied[3])), OLESTR("ad"));
  EXPECT_EQ(copy_string_array(nullptr).get(), nullptr);
}

TEST(SafeArray, RuntimeErrorsForMissingArraysAndBadIndexes) {
  SafeArrayPtr a = create_string_array({{2, 3}});
  SafeArrayPtr two = create_string_array({{1, 0}, {1, 0}});
  const std::function<void()> calls[] = {
      [] { array_lower_bound(nullptr); },     [] { array_upper_bound(nullptr); },
      [&] { string_element(a.get(), 2); },    [&] { string_element(a.get(), 5); },
      [&] { array_lower_bound(a.get(), 2); }, [&] { array_upper_bound(a.get(), 0); },
      [&] { string_element(two.get(), 0); },  [] { create_string_array({}); }};
  for (std::size_t i = 0; i < std::size(calls); ++i) EXPECT_EQ(raised(calls[i]), 9) << i;
  EXPECT_EQ(raised([&] { string_element(a.get(), 4); }), 0);
}

TEST(Variant, SixteenBitConversionFollowsTheRuntime) {
  auto convert = [](VARIANT v) {
    std::int32_t value = 0;
    const std::int32_t error = raised([&] { value = variant_to_int16(v); });
    return error != 0 ? 100000 + error : value;
  };
  auto number = [](VARTYPE vt, double value) {
    VARIANT v = of_type(vt);
    vt == VT_I4 ? void(v.lVal = static_cast<LONG>(value)) : void(v.dblVal = value);
    return v;
  };
  Bstr twelve(OLESTR("12")), letters(OLESTR("abc"));
  // Halves go to the even neighbour; 100006 is overflow, 100013 type mismatch.
  EXPECT_EQ(std::vector({convert(number(VT_I4, 32767)), convert(number(VT_I4, 40000)),
                         convert(number(VT_R8, 2.5)), convert(number(VT_R8, 3.5)),
                         convert(of_type(VT_BSTR, twelve.get())),
                         convert(of_type(VT_BSTR, letters.get()))}),
            std::vector({32767, 100006, 2, 4, 12, 100013}));
}

// The UTF-8 conversion copies a leading ASCII run in one piece and encodes
// the rest character by character: the seam between the two must not drop,
// double or misplace a character, wherever it falls, and each length starts
// where it should.
TEST(Utf8, EveryEncodingLengthOnEitherSideOfTheAsciiRun) {
  // The first character of each encoding length, and the last of the longest.
  const OleString pieces[] = {OLESTR("plain"),
                              OleString(1, u'\u0080'),
                              OleString(1, u'\u0800'),
                              OleString{u'\xd800', u'\xdc00'},
                              OleString{u'\xdbff', u'\xdfff'},
                              OLESTR("")};
  const std::string encoded[] = {
      "plain", "\xc2\x80", "\xe0\xa0\x80", "\xf0\x90\x80\x80", "\xf4\x8f\xbf\xbf", ""};
  for (std::size_t i = 0; i < 6 * 6 * 6; ++i) {
    const OleString text = pieces[i / 36] + pieces[i / 6 % 6] + pieces[i % 6];
    const std::string bytes = encoded[i / 36] + encoded[i / 6 % 6] + encoded[i % 6];
    EXPECT_EQ(to_utf8(text), bytes) << i;
    EXPECT_EQ(from_utf8(bytes), text) << i;
  }
  // A surrogate without its partner cannot be encoded and becomes '?'.
  EXPECT_EQ(to_utf8(OleString{u'a', u'\xd800', u'b', u'\xdc00'}), "a?b?");
}

TEST(AutomationErrors, HresultsLinesAndErrorsInFlight) {
  EXPECT_EQ(error_from_hresult(DISP_E_BADINDEX).number(), 9);
  EXPECT_EQ(error_from_hresult(static_cast<HRESULT>(0x800A01B6u)).number(), 438);
  const AutomationError unknown = error_from_hresult(static_cast<HRESULT>(0x80004005u));
  EXPECT_EQ(unknown.number(), static_cast<std::int32_t>(0x80004005u));
  EXPECT_EQ(unknown.description(), OLESTR("Automation error"));
  EXPECT_EQ(AutomationError(-1).description(),
            OLESTR("Application-defined or object-defined error"));
  const AutomationError here(5);
  EXPECT_EQ(here.line(), __LINE__ - 1);

  auto in_flight = [](auto thrower) {
    try {
      thrower();
    } catch (...) {
      return current_exception_as_automation_error();
    }
    return AutomationError(0);
  };
  EXPECT_EQ(in_flight([] { throw std::bad_alloc(); }).number(), 7);
  EXPECT_EQ(in_flight([] { throw std::runtime_error("x"); }).number(), 51);
  EXPECT_EQ(in_flight([] { throw AutomationError(-1, OLESTR("mine")); }).description(),
            OLESTR("mine"));
}

}  // namespace
}  // namespace corvane
