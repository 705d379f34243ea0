// Self-registration: the class key with its in-process server (apartment
// threaded), the programmatic identifier CorvaneV10.clsStringList, the type
// library with its interfaces, and the earlier interface identity forwarded
// to the current one. Unregistration removes exactly these keys.
#include <olectl.h>

#include <string>

#include "CorvaneV10.h"
#include "string_list/com/com_module.h"

namespace corvane::com {

namespace {

constexpr const wchar_t* kProgId = L"CorvaneV10.clsStringList";
constexpr const wchar_t* kClassKey = L"CLSID\\{4C80A6D8-AE04-4B5F-A6BD-281875877CCF}";
constexpr const wchar_t* kClsid = L"{4C80A6D8-AE04-4B5F-A6BD-281875877CCF}";
constexpr const wchar_t* kLibId = L"{489EA435-6CD9-4820-986B-7CBA9CC7E606}";
constexpr const wchar_t* kEarlierInterfaceKey =
    L"Interface\\{6EC7F1C7-4D11-4436-91C7-AE494CBA446B}";
constexpr const wchar_t* kInterfaceId = L"{6E971FC3-B191-4FA0-A578-72A13975EBB7}";
constexpr const wchar_t* kAutomationProxy = L"{00020424-0000-0000-C000-000000000046}";

// Sets value `name` (nullptr for the default value) of HKCR\key to `data`,
// creating the key.
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

void delete_tree(const std::wstring& key) {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
}

bool register_class(const std::wstring& path) {
  const std::wstring cls = kClassKey;
  return set_value(cls, nullptr, kProgId) && set_value(cls + L"\\InprocServer32", nullptr, path) &&
         set_value(cls + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
         set_value(cls + L"\\ProgID", nullptr, kProgId) &&
         set_value(cls + L"\\TypeLib", nullptr, kLibId) &&
         set_value(cls + L"\\VERSION", nullptr, L"4.1") &&
         set_value(std::wstring(kProgId), nullptr, kProgId) &&
         set_value(std::wstring(kProgId) + L"\\CLSID", nullptr, kClsid) &&
         set_value(std::wstring(kProgId) + L"\\CurVer", nullptr, kProgId);
}

bool register_earlier_interface() {
  const std::wstring key = kEarlierInterfaceKey;
  return set_value(key, nullptr, L"clsStringList___v0") &&
         set_value(key + L"\\ProxyStubClsid", nullptr, kAutomationProxy) &&
         set_value(key + L"\\ProxyStubClsid32", nullptr, kAutomationProxy) &&
         set_value(key + L"\\TypeLib", nullptr, kLibId) &&
         set_value(key + L"\\TypeLib", L"Version", L"4.1") &&
         set_value(key + L"\\Forward", nullptr, kInterfaceId);
}

void unregister_all() {
  delete_tree(kClassKey);
  delete_tree(kProgId);
  delete_tree(kEarlierInterfaceKey);
  UnRegisterTypeLib(LIBID_CorvaneV10, 4, 1, LOCALE_NEUTRAL,
                    sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
}

}  // namespace

}  // namespace corvane::com

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  using namespace corvane::com;
  std::wstring path = module_path();
  if (path.empty()) return SELFREG_E_CLASS;
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (SUCCEEDED(hr)) {
    hr = RegisterTypeLib(library, path.data(), nullptr);
    library->Release();
  }
  if (FAILED(hr)) return SELFREG_E_TYPELIB;
  if (!register_class(path) || !register_earlier_interface()) {
    unregister_all();
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  corvane::com::unregister_all();
  return S_OK;
}
