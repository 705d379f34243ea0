// Test stand-ins for the host's list-box control: an automation object that
// answers the list-box interface with ListCount and List, and one that does
// not.
#pragma once

#include "support/list_fixture.h"

namespace corvane::testing {

class FakeDispatch : public IDispatch {
 public:
  explicit FakeDispatch(std::vector<std::string> list_items = {}) : items(std::move(list_items)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT* arg_error) override;

  // A variant holding this object as IDispatch (no reference taken).
  VARIANT as_variant() { return of_type(VT_DISPATCH, static_cast<IDispatch*>(this)); }

  ULONG refs = 1;
  bool is_list_box = true;
  std::vector<std::string> items;
  // ListCount answers the number of items (16-bit), or this (32-bit) when set.
  std::int32_t count_override = -1;
  // List(index) of this index raises error 380 with its own description.
  int failing_index = -1;
  // The failure's texts are filled in only when the caller asks for them
  // (EXCEPINFO's deferred fill-in), with the description below.
  bool deferred_fill_in = false;
  static constexpr const char* kDeferredDescription = "No item there yet";
  int list_count_reads = 0;
  // Runs as List(index) is asked for, before it answers.
  std::function<void(int)> on_list;
};

}  // namespace corvane::testing
