// Automation values: the same tests run against oleaut32 (under wine) and our
// own implementation, so any difference in layout or ownership shows here.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>

#include "automation/bstr.h"
#include "automation/error.h"
#include "automation/safe_array.h"
#include "automation/variant.h"
#include "automation/vb_text.h"

namespace corvane {
namespace {

SafeArrayPtr strings(std::vector<SAFEARRAYBOUND> bounds) {
  return create_string_array(bounds);
}

// For strings the element argument is a BSTR itself (its length prefix is read).
void put(SAFEARRAY* psa, std::vector<LONG> index, const OLECHAR* text) {
  Bstr value{OleStringView(text)};
  ASSERT_EQ(SafeArrayPutElement(psa, index.data(), value.get()), S_OK);
}

OleString get(SAFEARRAY* psa, std::vector<LONG> index) {
  BSTR out = nullptr;
  EXPECT_EQ(SafeArrayGetElement(psa, index.data(), &out), S_OK);
  Bstr owner = Bstr::attach(out);
  return OleString(owner.view());
}

TEST(Bstr, LengthPrefixEmbeddedNulAndNull) {
  const OLECHAR text[] = {u'a', 0, u'b'};
  Bstr s(OleStringView(text, 3));
  EXPECT_EQ(SysStringLen(s.get()), 3u);
  EXPECT_EQ(SysStringByteLen(s.get()), 6u);
  EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(s.get())[-1], 6u);
  EXPECT_EQ(s.get()[3], 0);  // terminated after the counted text
  EXPECT_EQ(s.view(), OleStringView(text, 3));

  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(Bstr::copy_of(nullptr).get(), nullptr);
  Bstr empty{OleStringView()};
  EXPECT_NE(empty.get(), nullptr);
  EXPECT_EQ(SysStringLen(empty.get()), 0u);

  Bstr blank = Bstr::attach(SysAllocStringLen(nullptr, 4));
  EXPECT_EQ(SysStringLen(blank.get()), 4u);

  BSTR raw = SysAllocString(OLESTR("abc"));
  ASSERT_TRUE(SysReAllocStringLen(&raw, OLESTR("xy"), 2));
  EXPECT_EQ(bstr_view(raw), OLESTR("xy"));
  SysFreeString(raw);
}

TEST(SafeArray, DescriptorLayoutMatchesWindows) {
  // Leftmost dimension 5..6, rightmost 10..12.
  SafeArrayPtr a = strings({{2, 5}, {3, 10}});
  SAFEARRAY* psa = a.get();
  EXPECT_EQ(psa->cDims, 2);
  EXPECT_EQ(psa->fFeatures, FADF_BSTR | FADF_HAVEVARTYPE);
  EXPECT_EQ(psa->cbElements, sizeof(BSTR));
  // The descriptor keeps the bounds in reverse order.
  EXPECT_EQ(psa->rgsabound[0].lLbound, 10);
  EXPECT_EQ(psa->rgsabound[0].cElements, 3u);
  EXPECT_EQ(psa->rgsabound[1].lLbound, 5);
  EXPECT_EQ(array_lower_bound(psa, 1), 5);
  EXPECT_EQ(array_upper_bound(psa, 1), 6);
  EXPECT_EQ(array_lower_bound(psa, 2), 10);
  EXPECT_EQ(array_upper_bound(psa, 2), 12);
  VARTYPE vt = 0;
  EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
  EXPECT_EQ(vt, VT_BSTR);
  EXPECT_EQ(reinterpret_cast<DWORD*>(psa)[-1], static_cast<DWORD>(VT_BSTR));
  EXPECT_EQ(offsetof(SAFEARRAY, pvData), sizeof(void*) == 4 ? 12u : 16u);
  EXPECT_EQ(sizeof(SAFEARRAY), sizeof(void*) == 4 ? 24u : 32u);
  EXPECT_EQ(sizeof(VARIANT), sizeof(void*) == 4 ? 16u : 24u);

  // The leftmost index varies fastest.
  void* p0 = nullptr;
  void* p1 = nullptr;
  void* p2 = nullptr;
  LONG i0[] = {5, 10}, i1[] = {6, 10}, i2[] = {5, 11};
  ASSERT_EQ(SafeArrayPtrOfIndex(psa, i0, &p0), S_OK);
  ASSERT_EQ(SafeArrayPtrOfIndex(psa, i1, &p1), S_OK);
  ASSERT_EQ(SafeArrayPtrOfIndex(psa, i2, &p2), S_OK);
  EXPECT_EQ(static_cast<char*>(p1) - static_cast<char*>(p0), static_cast<long>(sizeof(BSTR)));
  EXPECT_EQ(static_cast<char*>(p2) - static_cast<char*>(p0), static_cast<long>(2 * sizeof(BSTR)));
  LONG outside[] = {7, 10};
  EXPECT_EQ(SafeArrayPtrOfIndex(psa, outside, &p0), DISP_E_BADINDEX);

  LONG bound = 0;
  EXPECT_EQ(SafeArrayGetLBound(psa, 3, &bound), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetLBound(psa, 0, &bound), DISP_E_BADINDEX);
}

TEST(SafeArray, ElementsAreCopiedInAndOutAndFreedWithTheArray) {
  SafeArrayPtr a = strings({{3, -1}});
  put(a.get(), {-1}, OLESTR("first"));
  put(a.get(), {1}, OLESTR("last"));
  put(a.get(), {1}, OLESTR("replaced"));  // frees the string it replaces
  EXPECT_EQ(get(a.get(), {-1}), OLESTR("first"));
  EXPECT_EQ(get(a.get(), {0}), OLESTR(""));
  EXPECT_EQ(get(a.get(), {1}), OLESTR("replaced"));
  EXPECT_EQ(string_element(a.get(), 0), nullptr);

  ASSERT_EQ(SafeArrayLock(a.get()), S_OK);
  EXPECT_EQ(SafeArrayDestroy(a.get()), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayUnlock(a.get()), S_OK);
  EXPECT_EQ(SafeArrayUnlock(a.get()), E_UNEXPECTED);
}

TEST(SafeArray, CopyKeepsShapeAndCopiesEveryString) {
  SafeArrayPtr a = strings({{2, 1}, {2, 0}});
  put(a.get(), {1, 0}, OLESTR("a"));
  put(a.get(), {2, 1}, OLESTR("d"));
  SafeArrayPtr copy = copy_string_array(a.get());
  ASSERT_NE(copy.get(), nullptr);
  EXPECT_EQ(copy.get()->cDims, 2);
  EXPECT_EQ(array_lower_bound(copy.get(), 1), 1);
  EXPECT_EQ(array_upper_bound(copy.get(), 2), 1);
  EXPECT_EQ(get(copy.get(), {1, 0}), OLESTR("a"));
  EXPECT_EQ(get(copy.get(), {2, 1}), OLESTR("d"));
  LONG empty_cell[] = {2, 0};
  void* cell = nullptr;
  ASSERT_EQ(SafeArrayPtrOfIndex(copy.get(), empty_cell, &cell), S_OK);
  EXPECT_EQ(*static_cast<BSTR*>(cell), nullptr);  // an empty cell stays null
  // Deep: changing the copy leaves the source alone.
  put(copy.get(), {1, 0}, OLESTR("changed"));
  EXPECT_EQ(get(a.get(), {1, 0}), OLESTR("a"));
  EXPECT_EQ(copy_string_array(nullptr).get(), nullptr);

  // The system copy drops the flags that tie a descriptor to its owner.
  a.get()->fFeatures |= FADF_FIXEDSIZE;
  SAFEARRAY* system_copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(a.get(), &system_copy), S_OK);
  EXPECT_EQ(system_copy->fFeatures & FADF_FIXEDSIZE, 0);
  EXPECT_EQ(system_copy->fFeatures & FADF_BSTR, FADF_BSTR);
  SafeArrayDestroy(system_copy);
  a.get()->fFeatures &= ~FADF_FIXEDSIZE;
}

TEST(SafeArray, RuntimeErrorsForMissingArraysAndBadIndexes) {
  auto number_of = [](auto&& f) {
    try {
      f();
    } catch (const AutomationError& e) {
      return e.number();
    }
    return 0;
  };
  EXPECT_EQ(number_of([] { array_lower_bound(nullptr); }), 9);
  EXPECT_EQ(number_of([] { array_upper_bound(nullptr); }), 9);
  SafeArrayPtr a = strings({{2, 3}});
  EXPECT_EQ(number_of([&] { string_element(a.get(), 2); }), 9);
  EXPECT_EQ(number_of([&] { string_element(a.get(), 5); }), 9);
  EXPECT_EQ(number_of([&] { array_lower_bound(a.get(), 2); }), 9);
  SafeArrayPtr two = strings({{1, 0}, {1, 0}});
  EXPECT_EQ(number_of([&] { string_element(two.get(), 0); }), 9);
  EXPECT_EQ(number_of([] { create_string_array({}); }), 9);
}

TEST(Variant, CopyClearAndStringArrayRecognition) {
  Variant text;
  text.get().vt = VT_BSTR;
  text.get().bstrVal = SysAllocString(OLESTR("abc"));
  Variant copy;
  ASSERT_EQ(VariantCopy(copy.put(), &text.get()), S_OK);
  EXPECT_NE(copy.get().bstrVal, text.get().bstrVal);
  EXPECT_EQ(bstr_view(copy.get().bstrVal), OLESTR("abc"));

  Variant array;
  array.get().vt = VT_ARRAY | VT_BSTR;
  array.get().parray = create_string_array({{1, 0}}).release();
  bool found = false;
  EXPECT_EQ(string_array_of(array.get(), &found), array.get().parray);
  EXPECT_TRUE(found);

  // By reference to the array, and by reference to a variant that holds it.
  SAFEARRAY* cell = array.get().parray;
  VARIANT by_array_ref;
  VariantInit(&by_array_ref);
  by_array_ref.vt = VT_BYREF | VT_ARRAY | VT_BSTR;
  by_array_ref.pparray = &cell;
  EXPECT_EQ(string_array_of(by_array_ref, &found), cell);
  EXPECT_TRUE(found);
  VARIANT by_variant_ref;
  VariantInit(&by_variant_ref);
  by_variant_ref.vt = VT_BYREF | VT_VARIANT;
  by_variant_ref.pvarVal = &array.get();
  EXPECT_EQ(string_array_of(by_variant_ref, &found), cell);
  EXPECT_TRUE(found);

  string_array_of(text.get(), &found);
  EXPECT_FALSE(found);
  Variant variants;
  variants.get().vt = VT_ARRAY | VT_VARIANT;
  SAFEARRAYBOUND b{1, 0};
  variants.get().parray = SafeArrayCreate(VT_VARIANT, 1, &b);
  string_array_of(variants.get(), &found);
  EXPECT_FALSE(found);
  Variant no_array;
  no_array.get().vt = VT_ARRAY | VT_BSTR;
  EXPECT_EQ(string_array_of(no_array.get(), &found), nullptr);
  EXPECT_TRUE(found);  // a String() variable that holds no array is still String()
}

TEST(Variant, SixteenBitConversionFollowsTheRuntime) {
  auto convert = [](VARIANT v) -> std::int32_t {
    try {
      return variant_to_int16(v);
    } catch (const AutomationError& e) {
      return 100000 + e.number();
    }
  };
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = 32767;
  EXPECT_EQ(convert(v), 32767);
  v.lVal = 40000;
  EXPECT_EQ(convert(v), 100006);  // overflow
  v.vt = VT_R8;
  v.dblVal = 2.5;
  EXPECT_EQ(convert(v), 2);  // halves to even
  v.dblVal = 3.5;
  EXPECT_EQ(convert(v), 4);
  Variant s;
  s.get().vt = VT_BSTR;
  s.get().bstrVal = SysAllocString(OLESTR("12"));
  EXPECT_EQ(convert(s.get()), 12);
  SysFreeString(s.get().bstrVal);
  s.get().bstrVal = SysAllocString(OLESTR("abc"));
  EXPECT_EQ(convert(s.get()), 100013);  // type mismatch
}

// The UTF-8 conversion copies a leading ASCII run in one piece and encodes
// the rest character by character: the seam between the two must not drop,
// double or misplace a character, wherever it falls.
TEST(Utf8, EveryEncodingLengthOnEitherSideOfTheAsciiRun) {
  const OleString pieces[] = {OLESTR("plain"), OleString(1, u'\u00e9'), OleString(1, u'\u20ac'),
                              OleString{u'\xd83d', u'\xde00'}, OLESTR("")};
  const std::string encoded[] = {"plain", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", ""};
  for (std::size_t a = 0; a < std::size(pieces); ++a) {
    for (std::size_t b = 0; b < std::size(pieces); ++b) {
      for (std::size_t c = 0; c < std::size(pieces); ++c) {
        const OleString text = pieces[a] + pieces[b] + pieces[c];
        const std::string bytes = encoded[a] + encoded[b] + encoded[c];
        EXPECT_EQ(to_utf8(text), bytes) << a << b << c;
        EXPECT_EQ(from_utf8(bytes), text) << a << b << c;
      }
    }
  }
  // A surrogate without its partner cannot be encoded and becomes '?'.
  EXPECT_EQ(to_utf8(OleString{u'a', u'\xd800', u'b', u'\xdc00'}), "a?b?");
}

TEST(AutomationErrors, RuntimeTextsAndHresults) {
  EXPECT_EQ(runtime_error_text(9), OLESTR("Subscript out of range"));
  EXPECT_EQ(runtime_error_text(5), OLESTR("Invalid procedure call or argument"));
  EXPECT_EQ(runtime_error_text(13), OLESTR("Type mismatch"));
  EXPECT_EQ(runtime_error_text(-1), OLESTR("Application-defined or object-defined error"));

  EXPECT_EQ(error_from_hresult(DISP_E_BADINDEX).number(), 9);
  EXPECT_EQ(error_from_hresult(E_OUTOFMEMORY).number(), 7);
  EXPECT_EQ(error_from_hresult(DISP_E_TYPEMISMATCH).number(), 13);
  EXPECT_EQ(error_from_hresult(static_cast<HRESULT>(0x800A01B6u)).number(), 438);
  const AutomationError unknown = error_from_hresult(static_cast<HRESULT>(0x80004005u));
  EXPECT_EQ(unknown.number(), static_cast<std::int32_t>(0x80004005u));
  EXPECT_EQ(unknown.description(), OLESTR("Automation error"));

  const AutomationError here(5);
  EXPECT_EQ(here.line(), __LINE__ - 1);
  EXPECT_EQ(here.description(), OLESTR("Invalid procedure call or argument"));

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
