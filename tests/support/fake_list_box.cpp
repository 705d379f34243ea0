#include "support/fake_list_box.h"

#include "automation/bstr.h"
#include "automation/vb_text.h"
#include "string_list/list_box.h"

namespace corvane::testing {

namespace {

constexpr DISPID kListCountId = 1;
constexpr DISPID kListId = 2;

// Error 380 with its description, as a control fills its exception in. The
// runtime calls the deferred fill-in through a stdcall pointer, so it cannot
// be a lambda on 32-bit Windows.
void fill_in(EXCEPINFO* info, const char* description) {
  *info = EXCEPINFO{};
  info->scode = static_cast<SCODE>(0x800A017Cu);
  info->bstrDescription = Bstr(from_utf8(description)).release();
  info->bstrSource = SysAllocString(OLESTR("FakeListBox"));
}

HRESULT STDMETHODCALLTYPE fill_in_deferred(EXCEPINFO* deferred) {
  fill_in(deferred, FakeDispatch::kDeferredDescription);
  return S_OK;
}

}  // namespace

HRESULT FakeDispatch::QueryInterface(REFIID riid, void** ppv) {
  const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
                     (is_list_box && IsEqualIID(riid, kIID_ListBox));
  *ppv = known ? static_cast<IDispatch*>(this) : nullptr;
  if (known) AddRef();
  return known ? S_OK : E_NOINTERFACE;
}

HRESULT FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  const OleStringView name(names[0]);
  ids[0] = name == OLESTR("ListCount") ? kListCountId
           : name == OLESTR("List")    ? kListId
                                       : DISPID_UNKNOWN;
  return count == 1 && ids[0] != DISPID_UNKNOWN ? S_OK : DISP_E_UNKNOWNNAME;
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
  // List(index) takes one 16-bit index.
  if (id != kListId || params == nullptr || params->cArgs != 1 || params->rgvarg[0].vt != VT_I2) {
    return DISP_E_TYPEMISMATCH;
  }
  const int index = params->rgvarg[0].iVal;
  if (on_list) on_list(index);
  if (index == failing_index) {
    if (deferred_fill_in) info->pfnDeferredFillIn = &fill_in_deferred;
    if (!deferred_fill_in) fill_in(info, "Invalid property value");
    return DISP_E_EXCEPTION;
  }
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return DISP_E_BADINDEX;
  result->vt = VT_BSTR;
  result->bstrVal = Bstr(from_utf8(items[static_cast<std::size_t>(index)])).release();
  return S_OK;
}

}  // namespace corvane::testing
