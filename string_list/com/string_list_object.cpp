#include "string_list/com/string_list_object.h"

#include <new>

#include "automation/bstr.h"
#include "string_list/com/com_boundary.h"
#include "string_list/com/com_module.h"
#include "string_list/com/dispatch_arguments.h"

namespace corvane::com {

StringListObject::StringListObject() {
  object_created();
}

StringListObject::~StringListObject() {
  object_destroyed();
}

HRESULT StringListObject::create(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  auto* object = new (std::nothrow) StringListObject();
  if (object == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

HRESULT StringListObject::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID__clsStringList) || IsEqualIID(riid, kIID_clsStringList_v0)) {
    *ppv = static_cast<_clsStringList*>(this);
  } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
    *ppv = static_cast<ISupportErrorInfo*>(this);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG StringListObject::AddRef() {
  return ++refs_;
}

ULONG StringListObject::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT StringListObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT StringListObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ITypeInfo* dispatch = nullptr;
  const HRESULT hr = string_list_type_info(nullptr, &dispatch);
  if (FAILED(hr)) return hr;
  dispatch->AddRef();
  *info = dispatch;
  return S_OK;
}

HRESULT StringListObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                        DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* vtable = nullptr;
  const HRESULT hr = string_list_type_info(&vtable, nullptr);
  if (FAILED(hr)) return hr;
  return DispGetIDsOfNames(vtable, names, count, ids);
}

HRESULT StringListObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* exception, UINT* arg_error) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* vtable = nullptr;
  HRESULT hr = string_list_type_info(&vtable, nullptr);
  if (FAILED(hr)) return hr;
  if (!DispatchArguments::well_formed(params)) return E_INVALIDARG;
  if (const int null_reference = DispatchArguments::first_null_reference(params);
      null_reference >= 0) {
    if (arg_error != nullptr) *arg_error = static_cast<UINT>(null_reference);
    return DISP_E_TYPEMISMATCH;
  }
  return at_boundary([&] {
    DispatchArguments arguments(vtable, id, flags, params);
    const HRESULT invoked = DispInvoke(static_cast<_clsStringList*>(this), vtable, id, flags,
                                       arguments.get(), result, exception, arg_error);
    arguments.hand_back();
    return invoked;
  });
}

HRESULT StringListObject::InterfaceSupportsErrorInfo(REFIID riid) {
  return (IsEqualIID(riid, IID__clsStringList) || IsEqualIID(riid, kIID_clsStringList_v0))
             ? S_OK
             : S_FALSE;
}

HRESULT StringListObject::lfnMatchingPrefixLocation(BSTR* sTargetPrefix, LONG* CompareType,
                                                    LONG* result) {
  if (result == nullptr) return E_POINTER;
  return at_boundary([&] {
    *result = list_.lfnMatchingPrefixLocation(text_of(sTargetPrefix),
                                              CompareType == nullptr ? 0 : *CompareType);
    return S_OK;
  });
}

HRESULT StringListObject::lfnFirstMatchingPrefix(BSTR* sTargetPrefix, LONG* result) {
  if (result == nullptr) return E_POINTER;
  return at_boundary([&] {
    *result = list_.lfnFirstMatchingPrefix(text_of(sTargetPrefix));
    return S_OK;
  });
}

HRESULT StringListObject::lfnMatch(BSTR* sTarget, VARIANT_BOOL* bMatchAsLong, VARIANT* result) {
  if (result == nullptr) return E_POINTER;
  return at_boundary([&] {
    const bool as_long = bMatchAsLong != nullptr && *bMatchAsLong != VARIANT_FALSE;
    *result = list_.lfnMatch(text_of(sTarget), as_long).release();
    return S_OK;
  });
}

HRESULT StringListObject::get_StringList(VARIANT* result) {
  if (result == nullptr) return E_POINTER;
  return at_boundary([&] {
    Variant list = list_.get_StringList();
    *result = list.release();
    return S_OK;
  });
}

HRESULT StringListObject::put_StringList(VARIANT value) {
  return at_boundary([&] {
    list_.put_StringList(value);
    return S_OK;
  });
}

HRESULT StringListObject::TransferVBListBoxToStringList(VARIANT* ctlVBListBox) {
  if (ctlVBListBox == nullptr) return E_POINTER;
  return at_boundary([&] {
    list_.TransferVBListBoxToStringList(*ctlVBListBox);
    return S_OK;
  });
}

HRESULT StringListObject::Init(BSTR* sGlobalLog, BSTR* sGlobalSummaryLog, BSTR* sLogFilePath,
                               LONG* eTraceLevel) {
  if (eTraceLevel == nullptr) return E_POINTER;
  return at_boundary([&] {
    list_.Init(text_of(sGlobalLog), text_of(sGlobalSummaryLog), text_of(sLogFilePath),
               *eTraceLevel);
    return S_OK;
  });
}

HRESULT StringListObject::ReplaceString(LONG* lIndex, BSTR* sReplacementString) {
  if (lIndex == nullptr) return E_POINTER;
  return at_boundary([&] {
    list_.ReplaceString(*lIndex, text_of(sReplacementString));
    return S_OK;
  });
}

#ifdef _WIN64
HRESULT StringListObject::AssignStringList(hyper* ppSA) {
#else
HRESULT StringListObject::AssignStringList(LONG* ppSA) {
#endif
  if (ppSA == nullptr) return E_POINTER;
  return at_boundary([&] {
    list_.AssignStringList(static_cast<std::intptr_t>(*ppSA));
    return S_OK;
  });
}

#ifdef _WIN64
HRESULT StringListObject::get_ppStringListDescriptor(hyper* result) {
#else
HRESULT StringListObject::get_ppStringListDescriptor(LONG* result) {
#endif
  if (result == nullptr) return E_POINTER;
  *result = list_.ppStringListDescriptor();
  return S_OK;
}

HRESULT StringListObject::lfnMatchingPrefixLocationServerChange(BSTR* sTargetPrefix,
                                                                LONG* CompareType,
                                                                VARIANT_BOOL* bDescriptionWithCode,
                                                                LONG* result) {
  if (result == nullptr) return E_POINTER;
  return at_boundary([&] {
    OleString text(text_of(sTargetPrefix));
    const bool with_code =
        bDescriptionWithCode != nullptr && *bDescriptionWithCode != VARIANT_FALSE;
    *result = list_.lfnMatchingPrefixLocationServerChange(
        text, CompareType == nullptr ? 0 : *CompareType, with_code);
    // On a match the caller's variable receives the stored entry.
    if (*result >= 0 && sTargetPrefix != nullptr) {
      Bstr entry(text);
      SysFreeString(*sTargetPrefix);
      *sTargetPrefix = entry.release();
    }
    return S_OK;
  });
}

HRESULT StringListObject::bfnDescriptionContainsCode(BSTR* sDesc, VARIANT_BOOL* result) {
  if (result == nullptr) return E_POINTER;
  return at_boundary([&] {
    *result = list_.bfnDescriptionContainsCode(text_of(sDesc)) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  });
}

}  // namespace corvane::com
