// The class factory of clsStringList and the two exports that hand it out
// and decide whether the DLL may unload.
#include <atomic>

#include "string_list/com/com_module.h"
#include "string_list/com/string_list_object.h"

namespace corvane::com {

namespace {

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is a static object: its references keep the module locked.
  ULONG STDMETHODCALLTYPE AddRef() override {
    lock_server(true);
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    lock_server(false);
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return StringListObject::create(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock_server(lock != FALSE);
    return S_OK;
  }
};

ClassFactory g_factory;

}  // namespace

}  // namespace corvane::com

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_clsStringList)) return CLASS_E_CLASSNOTAVAILABLE;
  return corvane::com::g_factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  if (!corvane::com::module_idle()) return S_FALSE;
  corvane::com::release_type_info();
  return S_OK;
}
