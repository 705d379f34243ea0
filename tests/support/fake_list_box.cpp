#include "support/fake_list_box.h"

#include "automation/vb_text.h"
#include "string_list/list_box.h"

namespace corvane::testing {

namespace {

constexpr DISPID kListCountId = 1;
constexpr DISPID kListId = 2;

// Fills the exception in only when the caller asks, as some controls do.
// The runtime calls it through a stdcall pointer, so it cannot be a lambda
// on 32-bit Windows.
// Error 380 with its description.
void fill_in(EXCEPINFO* info, const char* description) {
  info->wCode = 0;
  info->scode = static_cast<SCODE>(0x800A017Cu);
  const OleString text = from_utf8(description);
  info->bstrDescription = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  info->bstrSource = SysAllocString(OLESTR("FakeListBox"));
  info->pfnDeferredFillIn = nullptr;
}

HRESULT STDMETHODCALLTYPE fill_in_deferred(EXCEPINFO* deferred) {
  fill_in(deferred, FakeDispatch::kDeferredDescription);
  return S_OK;
}

}  // namespace

HRESULT FakeDispatch::QueryInterface(REFIID riid, void** ppv) {
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      (is_list_box && IsEqualIID(riid, kIID_ListBox))) {
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    const OleStringView name(names[i]);
    ids[i] = name == OLESTR("ListCount") ? kListCountId
             : name == OLESTR("List")    ? kListId
                                         : DISPID_UNKNOWN;
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT FakeDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* info, UINT*) {
  if ((flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr) return DISP_E_MEMBERNOTFOUND;
  VariantInit(result);
  if (id == kListCountId) {
    ++list_count_reads;
    result->vt = count_override >= 0 ? VT_I4 : VT_I2;
    if (count_override >= 0) result->lVal = count_override;
    if (count_override < 0) result->iVal = static_cast<SHORT>(items.size());
    return S_OK;
  }
  if (id == kListId) {
    if (params == nullptr || params->cArgs != 1 || params->rgvarg[0].vt != VT_I2) {
      return DISP_E_TYPEMISMATCH;
    }
    const int index = params->rgvarg[0].iVal;
    list_reads.push_back(index);
    if (on_list) on_list(index);
    if (index == failing_index) {
      if (deferred_fill_in) info->pfnDeferredFillIn = &fill_in_deferred;
      if (!deferred_fill_in) fill_in(info, "Invalid property value");
      return DISP_E_EXCEPTION;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return DISP_E_BADINDEX;
    const OleString text = from_utf8(items[static_cast<std::size_t>(index)]);
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return S_OK;
  }
  return DISP_E_MEMBERNOTFOUND;
}

VARIANT FakeDispatch::as_variant() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = this;
  return v;
}

}  // namespace corvane::testing
