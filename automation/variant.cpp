#include "automation/variant.h"

#include <charconv>
#include <cmath>
#include <string>

#include "automation/bstr.h"
#include "automation/error.h"

namespace corvane {

Variant string_array_variant(SafeArrayPtr array) {
  Variant v;
  v.get().vt = VT_ARRAY | VT_BSTR;
  v.get().parray = array.release();
  return v;
}

const VARIANT& dereferenced(const VARIANT& v) {
  const VARIANT* p = &v;
  for (int step = 0;
       step < kMaxVariantIndirections && p->vt == (VT_BYREF | VT_VARIANT) && p->pvarVal != nullptr;
       ++step) {
    p = p->pvarVal;
  }
  return *p;
}

SAFEARRAY* string_array_of(const VARIANT& v, bool* found) {
  const VARIANT& d = dereferenced(v);
  *found = true;
  if (d.vt == (VT_ARRAY | VT_BSTR)) return d.parray;
  if (d.vt == (VT_BYREF | VT_ARRAY | VT_BSTR)) return d.pparray == nullptr ? nullptr : *d.pparray;
  *found = false;
  return nullptr;
}

#ifdef _WIN32

std::int16_t variant_to_int16(const VARIANT& v) {
  VARIANT converted;
  VariantInit(&converted);
  check_hresult(VariantChangeType(&converted, const_cast<VARIANT*>(&v), 0, VT_I2));
  return converted.iVal;
}

OleString variant_to_text(const VARIANT& v) {
  const VARIANT& d = dereferenced(v);
  if (d.vt == VT_BSTR) return OleString(bstr_view(d.bstrVal));
  VARIANT converted;
  VariantInit(&converted);
  check_hresult(VariantChangeType(&converted, const_cast<VARIANT*>(&v), 0, VT_BSTR));
  OleString text(bstr_view(converted.bstrVal));
  VariantClear(&converted);
  return text;
}

#else

namespace {

// The value of an integer or real variant as a double; false for other types.
bool numeric_value(const VARIANT& d, double* value) {
  const bool byref = (d.vt & VT_BYREF) != 0;
  switch (d.vt & ~VT_BYREF) {
    case VT_EMPTY:
      *value = 0;
      return !byref;
    case VT_UI1:
      *value = byref ? *d.pbVal : d.bVal;
      return true;
    case VT_I2:
      *value = byref ? *d.piVal : d.iVal;
      return true;
    case VT_I4:
      *value = byref ? *d.plVal : d.lVal;
      return true;
    case VT_BOOL:
      *value = byref ? *d.pboolVal : d.boolVal;
      return true;
    case VT_R4:
      *value = byref ? *d.pfltVal : d.fltVal;
      return true;
    case VT_R8:
      *value = byref ? *d.pdblVal : d.dblVal;
      return true;
    default:
      return false;
  }
}

}  // namespace

std::int16_t variant_to_int16(const VARIANT& v) {
  const VARIANT& d = dereferenced(v);
  double value = 0;
  if (!numeric_value(d, &value)) {
    if ((d.vt & ~VT_BYREF) != VT_BSTR) throw AutomationError(vb_error::kTypeMismatch);
    BSTR text = (d.vt & VT_BYREF) ? *d.pbstrVal : d.bstrVal;
    std::string narrow;
    for (OLECHAR c : bstr_view(text)) {
      if (c > 0x7F) throw AutomationError(vb_error::kTypeMismatch);
      if (c != u' ') narrow.push_back(static_cast<char>(c));
    }
    long parsed = 0;
    const char* end = narrow.data() + narrow.size();
    const char* start = narrow.data() + (!narrow.empty() && narrow[0] == '+' ? 1 : 0);
    auto [ptr, ec] = std::from_chars(start, end, parsed);
    if (narrow.empty() || ptr != end) throw AutomationError(vb_error::kTypeMismatch);
    if (ec != std::errc()) throw AutomationError(vb_error::kOverflow);
    value = static_cast<double>(parsed);
  }
  // Halves round to the even neighbour, as the runtime's conversions do.
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) throw AutomationError(vb_error::kOverflow);
  return static_cast<std::int16_t>(rounded);
}

OleString variant_to_text(const VARIANT& v) {
  const VARIANT& d = dereferenced(v);
  if (d.vt == VT_BSTR) return OleString(bstr_view(d.bstrVal));
  if (d.vt == (VT_BYREF | VT_BSTR)) return OleString(bstr_view(*d.pbstrVal));
  if ((d.vt & ~VT_BYREF) == VT_BOOL) {
    const VARIANT_BOOL b = (d.vt & VT_BYREF) ? *d.pboolVal : d.boolVal;
    return b ? OLESTR("True") : OLESTR("False");
  }
  double value = 0;
  const VARTYPE base = d.vt & ~VT_BYREF;
  if (base == VT_R4 || base == VT_R8 || !numeric_value(d, &value)) {
    throw AutomationError(vb_error::kTypeMismatch);
  }
  if (base == VT_EMPTY) return OleString();
  const std::string digits = std::to_string(static_cast<long long>(value));
  return OleString(digits.begin(), digits.end());
}

#endif

}  // namespace corvane
