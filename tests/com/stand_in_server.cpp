// Stand-ins for outside components, as one registered in-process COM server
// with one class under two names:
//
// - the host's list-box control (CorvaneTest.ListBox), so that scripts can
//   create one. It answers the list-box interface identifier and offers
//   ListCount and List(index), and AddItem(text) for the clients to fill it.
//   FailAfter(n) lets n more calls of ListCount and List succeed and fails
//   every later one with the HRESULT set by FailWith(hr) (DISP_E_EXCEPTION,
//   with its texts, unless set);
// - the suite's debugger object (MarrowindDbgV10.clsDebug): a call of any
//   other name is recorded (method and arguments, a line each, "&" in front
//   of an argument passed by reference) in "clsDebug.calls" beside this DLL.
#include <windows.h>

#include <olectl.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The list-box interface of the host's forms runtime.
constexpr IID kIID_ListBox = {
    0x33AD4F11, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};
constexpr const wchar_t* kClasses[][2] = {
    {L"{47F22818-9ACB-45FA-9152-48E7D039B69A}", L"CorvaneTest.ListBox"},
    {L"{4DC1AF0B-685A-4587-B0E4-BB813A85E703}", L"MarrowindDbgV10.clsDebug"}};
// The list box's members, DISPIDs 1 to 5; recorded calls get 100 and up.
constexpr const wchar_t* kMembers[] = {L"ListCount", L"List", L"AddItem", L"FailAfter",
                                       L"FailWith"};
constexpr DISPID kListCount = 1, kList = 2, kAddItem = 3, kFailAfter = 4, kFailWith = 5;
constexpr DISPID kRecorded = 100;
HINSTANCE g_instance = nullptr;

// A line of the debugger object's record: the method and its arguments.
void record(std::wstring line, const DISPPARAMS* params) {
  for (UINT i = params == nullptr ? 0 : params->cArgs; i-- > 0;) {
    VARIANT text{};
    if (SUCCEEDED(VariantChangeType(&text, &params->rgvarg[i], 0, VT_BSTR)))
      line += ((params->rgvarg[i].vt & VT_BYREF) != 0 ? L" &" : L" ") +
              std::wstring(text.bstrVal == nullptr ? L"" : text.bstrVal);
    VariantClear(&text);
  }
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(g_instance, path, MAX_PATH);
  const std::wstring folder(path, std::wstring(path).find_last_of(L"\\/") + 1);
  if (FILE* f = _wfopen((folder + L"clsDebug.calls").c_str(), L"ab"))
    std::fprintf(f, "%ls\n", line.c_str()), std::fclose(f);  // the names and texts are ASCII
}

// References are counted (the hostile client counts the ones a call
// leaves); no type information.
class StandIn final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    const bool answered = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
                          IsEqualIID(riid, kIID_ListBox);
    *ppv = answered ? static_cast<IDispatch*>(this) : nullptr;
    if (answered) AddRef();
    return answered ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) {
      ids[i] = static_cast<DISPID>(kRecorded + recorded_.size());
      for (DISPID id = kListCount; id <= kFailWith; ++id)
        if (_wcsicmp(names[i], kMembers[id - 1]) == 0) ids[i] = id;
      if (ids[i] >= kRecorded) recorded_.emplace_back(names[i]);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    if (id >= kRecorded && static_cast<size_t>(id - kRecorded) < recorded_.size())
      return record(recorded_[static_cast<size_t>(id - kRecorded)], params), S_OK;
    if (id < kListCount || id > kFailWith) return DISP_E_MEMBERNOTFOUND;
    if (id <= kList && fail_after_ >= 0 && fail_after_-- == 0) {
      fail_after_ = 0;
      if (fail_with_ == DISP_E_EXCEPTION && exception != nullptr)
        *exception = {.bstrSource = SysAllocString(L"CorvaneTest.ListBox"),
                      .bstrDescription = SysAllocString(L"Invalid property value"),
                      .scode = static_cast<SCODE>(0x800A017C)};
      return fail_with_;
    }
    VARIANT value{}, out{};  // the argument as text (AddItem) or a long; the result
    if (id == kListCount)
      out.vt = VT_I2, out.iVal = static_cast<SHORT>(items_.size());
    else if (params == nullptr || params->cArgs != 1)
      return DISP_E_BADPARAMCOUNT;
    else if (FAILED(VariantChangeType(&value, &params->rgvarg[0], 0,
                                      id == kAddItem ? VT_BSTR : VT_I4)))
      return DISP_E_TYPEMISMATCH;
    if (id == kList && (value.lVal < 0 || static_cast<size_t>(value.lVal) >= items_.size()))
      return DISP_E_BADINDEX;
    if (id == kList) out.vt = VT_BSTR, out.bstrVal = SysAllocString(items_[value.lVal].c_str());
    if (id == kAddItem) items_.emplace_back(value.bstrVal == nullptr ? L"" : value.bstrVal);
    if (id == kFailAfter || id == kFailWith)
      (id == kFailAfter ? fail_after_ : fail_with_) = value.lVal;
    VariantClear(&value);
    if (result == nullptr) return VariantClear(&out), S_OK;
    return *result = out, S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
  std::vector<std::wstring> items_, recorded_;
  LONG fail_after_ = -1;  // no failures
  HRESULT fail_with_ = DISP_E_EXCEPTION;
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    const bool answered = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory);
    *ppv = answered ? static_cast<IClassFactory*>(this) : nullptr;
    return answered ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* object = new StandIn();
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
} g_factory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  for (const auto& [text, prog_id] : kClasses) {
    CLSID ours{};
    if (SUCCEEDED(CLSIDFromString(text, &ours)) && IsEqualCLSID(clsid, ours))
      return g_factory.QueryInterface(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

// The stand-ins stay loaded until the process ends: nothing needs them gone,
// and the suite's debugger object may be held until then.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t path[MAX_PATH];
  if (GetModuleFileNameW(g_instance, path, MAX_PATH) == 0) return SELFREG_E_CLASS;
  for (const auto& [clsid, prog_id] : kClasses) {
    const std::wstring server = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
    const std::wstring values[][3] = {{server, L"", path},
                                      {server, L"ThreadingModel", L"Apartment"},
                                      {std::wstring(prog_id) + L"\\CLSID", L"", clsid}};
    for (const auto& [key, name, data] : values) {
      if (RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name.empty() ? nullptr : name.c_str(),
                          REG_SZ, data.c_str(),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    }
  }
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  for (const auto& [clsid, prog_id] : kClasses) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + clsid).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, prog_id);
  }
  return S_OK;
}
