// Stand-ins for outside components, as one registered in-process COM server:
//
// - the host's list-box control (programmatic identifier CorvaneTest.ListBox)
//   so that scripts can create one;
// - the suite's debugger object (MarrowindDbgV10.clsDebug), which records
//   every call it gets (method and arguments, a line each) in
//   "clsDebug.calls" beside this DLL.
//
// The list box answers the list-box interface identifier and offers
// ListCount and List(index), plus AddItem(text) for the clients to fill it, and Describe(array),
// which writes a string array as "lower..upper:item|item" (wine's script engine cannot index a
// String() array, so the script reads the list through this). FailAfter(n) lets n more calls of
// ListCount and List succeed and fails every later one with the HRESULT set by FailWith(hr)
// (DISP_E_EXCEPTION, with its texts, unless set).
#include <oaidl.h>
#include <oleauto.h>
#include <olectl.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// {47F22818-9ACB-45FA-9152-48E7D039B69A}
constexpr CLSID kListBoxClsid = {
    0x47F22818, 0x9ACB, 0x45FA, {0x91, 0x52, 0x48, 0xE7, 0xD0, 0x39, 0xB6, 0x9A}};
// {4DC1AF0B-685A-4587-B0E4-BB813A85E703}
constexpr CLSID kDebuggerClsid = {
    0x4DC1AF0B, 0x685A, 0x4587, {0xB0, 0xE4, 0xBB, 0x81, 0x3A, 0x85, 0xE7, 0x03}};

struct ClassEntry {
  const CLSID* clsid;
  const wchar_t* clsid_text;
  const wchar_t* prog_id;
};
constexpr ClassEntry kClasses[] = {
    {&kListBoxClsid, L"{47F22818-9ACB-45FA-9152-48E7D039B69A}", L"CorvaneTest.ListBox"},
    {&kDebuggerClsid, L"{4DC1AF0B-685A-4587-B0E4-BB813A85E703}", L"MarrowindDbgV10.clsDebug"},
};
// The list-box interface of the host's forms runtime.
constexpr IID kIID_ListBox = {
    0x33AD4F11, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};

enum : DISPID { kListCount = 1, kList, kAddItem, kDescribe, kFailAfter, kFailWith };

std::wstring describe(const VARIANT& argument) {
  const VARIANT* v = &argument;
  while (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
  SAFEARRAY* array = nullptr;
  if (v->vt == (VT_ARRAY | VT_BSTR)) array = v->parray;
  if (array == nullptr) return v->vt == (VT_ARRAY | VT_BSTR) ? L"no array" : L"not a string array";
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  std::wstring text = std::to_wstring(lower) + L".." + std::to_wstring(upper) + L":";
  for (LONG i = lower; i <= upper; ++i) {
    BSTR item = nullptr;
    SafeArrayGetElement(array, &i, &item);
    if (i > lower) text += L"|";
    text += item == nullptr ? L"" : item;
    SysFreeString(item);
  }
  return text;
}

HINSTANCE g_instance = nullptr;
std::atomic<long> g_objects{0};

// What both stand-ins share: reference counting that keeps the DLL loaded,
// IUnknown and IDispatch answered (and whatever `answers` adds), no type
// information.
class StandIn : public IDispatch {
 public:
  StandIn() { ++g_objects; }
  virtual ~StandIn() { --g_objects; }
  virtual bool answers(REFIID) const { return false; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || answers(riid)) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

 private:
  std::atomic<ULONG> refs_{1};
};

class ListBox final : public StandIn {
 public:
  bool answers(REFIID riid) const override { return IsEqualIID(riid, kIID_ListBox); }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      const std::wstring name = names[i];
      if (_wcsicmp(name.c_str(), L"ListCount") == 0) {
        ids[i] = kListCount;
      } else if (_wcsicmp(name.c_str(), L"List") == 0) {
        ids[i] = kList;
      } else if (_wcsicmp(name.c_str(), L"AddItem") == 0) {
        ids[i] = kAddItem;
      } else if (_wcsicmp(name.c_str(), L"Describe") == 0) {
        ids[i] = kDescribe;
      } else if (_wcsicmp(name.c_str(), L"FailAfter") == 0) {
        ids[i] = kFailAfter;
      } else if (_wcsicmp(name.c_str(), L"FailWith") == 0) {
        ids[i] = kFailWith;
      } else {
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
      }
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    const UINT args = params == nullptr ? 0 : params->cArgs;
    if ((id == kListCount || id == kList) && fail_after_ >= 0 && fail_after_-- == 0) {
      fail_after_ = 0;
      if (fail_with_ == DISP_E_EXCEPTION && exception != nullptr) {
        exception->bstrSource = SysAllocString(L"CorvaneTest.ListBox");
        exception->bstrDescription = SysAllocString(L"Invalid property value");
        exception->scode = static_cast<SCODE>(0x800A017C);
      }
      return fail_with_;
    }
    switch (id) {
      case kListCount:
        if (result == nullptr) return S_OK;
        VariantInit(result);
        result->vt = VT_I2;
        result->iVal = static_cast<SHORT>(items_.size());
        return S_OK;
      case kList: {
        if (args != 1) return DISP_E_BADPARAMCOUNT;
        VARIANT index;
        VariantInit(&index);
        if (FAILED(VariantChangeType(&index, &params->rgvarg[0], 0, VT_I4)))
          return DISP_E_TYPEMISMATCH;
        if (index.lVal < 0 || static_cast<size_t>(index.lVal) >= items_.size())
          return DISP_E_BADINDEX;
        if (result == nullptr) return S_OK;
        VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(items_[static_cast<size_t>(index.lVal)].c_str());
        return S_OK;
      }
      case kAddItem: {
        if (args != 1) return DISP_E_BADPARAMCOUNT;
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR)))
          return DISP_E_TYPEMISMATCH;
        items_.emplace_back(text.bstrVal == nullptr ? L"" : text.bstrVal);
        VariantClear(&text);
        return S_OK;
      }
      case kFailAfter:
      case kFailWith: {
        VARIANT value;
        VariantInit(&value);
        if (args != 1 || FAILED(VariantChangeType(&value, &params->rgvarg[0], 0, VT_I4)))
          return DISP_E_TYPEMISMATCH;
        (id == kFailAfter ? fail_after_ : fail_with_) = value.lVal;
        return S_OK;
      }
      case kDescribe:
        if (args != 1) return DISP_E_BADPARAMCOUNT;
        if (result != nullptr) {
          VariantInit(result);
          result->vt = VT_BSTR;
          result->bstrVal = SysAllocString(describe(params->rgvarg[0]).c_str());
        }
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  std::vector<std::wstring> items_;
  LONG fail_after_ = -1;  // no failures
  HRESULT fail_with_ = DISP_E_EXCEPTION;
};

// The debugger object: any method by name, its string arguments recorded
// ("&" in front of one passed by reference).
class Debugger final : public StandIn {
 public:
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) {
      ids[i] = static_cast<DISPID>(names_.size() + 1);
      names_.emplace_back(names[i]);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    if (id < 1 || static_cast<size_t>(id) > names_.size()) return DISP_E_MEMBERNOTFOUND;
    std::wstring line = names_[static_cast<size_t>(id) - 1];
    for (UINT i = params == nullptr ? 0 : params->cArgs; i-- > 0;) {
      VARIANT text;
      VariantInit(&text);
      if (SUCCEEDED(VariantChangeType(&text, &params->rgvarg[i], 0, VT_BSTR))) {
        line += (V_VT(&params->rgvarg[i]) & VT_BYREF) != 0 ? L" &" : L" ";
        line += text.bstrVal == nullptr ? L"" : text.bstrVal;
      }
      VariantClear(&text);
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_instance, path, MAX_PATH);
    std::wstring calls = path;
    calls = calls.substr(0, calls.find_last_of(L"\\/") + 1) + L"clsDebug.calls";
    if (FILE* f = _wfopen(calls.c_str(), L"ab")) {
      const std::string narrow(line.begin(), line.end());  // the names and texts are ASCII
      std::fprintf(f, "%s\n", narrow.c_str());
      std::fclose(f);
    }
    return S_OK;
  }

 private:
  std::vector<std::wstring> names_;
};

template <class Object>
class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* object = new Object();
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory<ListBox> g_list_box_factory;
Factory<Debugger> g_debugger_factory;

bool set_value(const std::wstring& key, const wchar_t* name, const std::wstring& data) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG rc =
      RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (IsEqualCLSID(clsid, kListBoxClsid)) return g_list_box_factory.QueryInterface(riid, ppv);
  if (IsEqualCLSID(clsid, kDebuggerClsid)) return g_debugger_factory.QueryInterface(riid, ppv);
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return g_objects.load() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t path[MAX_PATH];
  if (GetModuleFileNameW(g_instance, path, MAX_PATH) == 0) return SELFREG_E_CLASS;
  for (const ClassEntry& c : kClasses) {
    const std::wstring cls = std::wstring(L"CLSID\\") + c.clsid_text;
    const bool ok = set_value(cls, nullptr, c.prog_id) &&
                    set_value(cls + L"\\InprocServer32", nullptr, path) &&
                    set_value(cls + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
                    set_value(cls + L"\\ProgID", nullptr, c.prog_id) &&
                    set_value(std::wstring(c.prog_id) + L"\\CLSID", nullptr, c.clsid_text);
    if (!ok) return SELFREG_E_CLASS;
  }
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  for (const ClassEntry& c : kClasses) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + c.clsid_text).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, c.prog_id);
  }
  return S_OK;
}
