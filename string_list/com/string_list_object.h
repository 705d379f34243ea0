// The COM object clsStringList: the dual interface _clsStringList (also
// answered under its earlier identity clsStringList___v0), IDispatch through
// the type information, ISupportErrorInfo. It adapts the arguments and hands
// every call to the class's own logic.
#pragma once

#include <atomic>

#include "CorvaneV10.h"
#include "string_list/clsStringList.h"

namespace corvane::com {

// {6EC7F1C7-4D11-4436-91C7-AE494CBA446B}
inline constexpr IID kIID_clsStringList_v0 = {
    0x6EC7F1C7, 0x4D11, 0x4436, {0x91, 0xC7, 0xAE, 0x49, 0x4C, 0xBA, 0x44, 0x6B}};

class StringListObject final : public _clsStringList, public ISupportErrorInfo {
 public:
  // A new object, answering `riid`.
  static HRESULT create(REFIID riid, void** ppv);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* arg_error) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  // _clsStringList, in slot order
  HRESULT STDMETHODCALLTYPE lfnMatchingPrefixLocation(BSTR* sTargetPrefix, LONG* CompareType,
                                                      LONG* result) override;
  HRESULT STDMETHODCALLTYPE lfnFirstMatchingPrefix(BSTR* sTargetPrefix, LONG* result) override;
  HRESULT STDMETHODCALLTYPE lfnMatch(BSTR* sTarget, VARIANT_BOOL* bMatchAsLong,
                                     VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE get_StringList(VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE put_StringList(VARIANT value) override;
  HRESULT STDMETHODCALLTYPE TransferVBListBoxToStringList(VARIANT* ctlVBListBox) override;
  HRESULT STDMETHODCALLTYPE Init(BSTR* sGlobalLog, BSTR* sGlobalSummaryLog, BSTR* sLogFilePath,
                                 LONG* eTraceLevel) override;
  HRESULT STDMETHODCALLTYPE ReplaceString(LONG* lIndex, BSTR* sReplacementString) override;
#ifdef _WIN64
  HRESULT STDMETHODCALLTYPE AssignStringList(hyper* ppSA) override;
  HRESULT STDMETHODCALLTYPE get_ppStringListDescriptor(hyper* result) override;
#else
  HRESULT STDMETHODCALLTYPE AssignStringList(LONG* ppSA) override;
  HRESULT STDMETHODCALLTYPE get_ppStringListDescriptor(LONG* result) override;
#endif
  HRESULT STDMETHODCALLTYPE
  lfnMatchingPrefixLocationServerChange(BSTR* sTargetPrefix, LONG* CompareType,
                                        VARIANT_BOOL* bDescriptionWithCode, LONG* result) override;
  HRESULT STDMETHODCALLTYPE bfnDescriptionContainsCode(BSTR* sDesc, VARIANT_BOOL* result) override;

 private:
  StringListObject();
  ~StringListObject();

  std::atomic<ULONG> refs_{1};
  clsStringList list_;
};

}  // namespace corvane::com
