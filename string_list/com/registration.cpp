// Registration: the class key with its in-process server (apartment
// threaded), the programmatic identifier CorvaneV10.clsStringList, the type
// library with its interface, and the earlier interface identity forwarded to
// the current one.
//
// regsvr32 writes them for the machine (DllRegisterServer, under
// HKEY_CLASSES_ROOT); regsvr32 /n /i:user for the current user only
// (DllInstall, under HKEY_CURRENT_USER\Software\Classes), which needs no
// administrator. Unregistering removes exactly what registering wrote.
//
// On 64-bit Windows the class and interface keys are kept per registry view,
// while the type library's keys and the programmatic identifier are shared
// by the 32- and 64-bit registrations. While the other processor's
// registration is there, unregistering one removes its own class, interface
// and type-library platform keys and leaves the shared ones.
#include <olectl.h>

#include <cwctype>
#include <string>

#include "CorvaneV10.h"
#include "automation/bstr.h"
#include "platform/module_info.h"
#include "string_list/com/com_module.h"

namespace corvane::com {

namespace {

constexpr const wchar_t* kProgId = L"CorvaneV10.clsStringList";
constexpr const wchar_t* kClassKey = L"CLSID\\{4C80A6D8-AE04-4B5F-A6BD-281875877CCF}";
constexpr const wchar_t* kClsid = L"{4C80A6D8-AE04-4B5F-A6BD-281875877CCF}";
constexpr const wchar_t* kLibId = L"{489EA435-6CD9-4820-986B-7CBA9CC7E606}";
constexpr const wchar_t* kLibraryKey = L"TypeLib\\{489EA435-6CD9-4820-986B-7CBA9CC7E606}";
constexpr const wchar_t* kLibraryVersionKey =
    L"TypeLib\\{489EA435-6CD9-4820-986B-7CBA9CC7E606}\\4.1";
constexpr const wchar_t* kInterfaceKey = L"Interface\\{6E971FC3-B191-4FA0-A578-72A13975EBB7}";
constexpr const wchar_t* kEarlierInterfaceKey =
    L"Interface\\{6EC7F1C7-4D11-4436-91C7-AE494CBA446B}";
constexpr const wchar_t* kInterfaceId = L"{6E971FC3-B191-4FA0-A578-72A13975EBB7}";
constexpr const wchar_t* kAutomationProxy = L"{00020424-0000-0000-C000-000000000046}";
constexpr bool kWin64 = sizeof(void*) == 8;
// The type library's platform keys: this build's, and the other processor's.
constexpr const wchar_t* kPlatform = kWin64 ? L"\\0\\win64" : L"\\0\\win32";
constexpr const wchar_t* kOtherPlatform = kWin64 ? L"\\0\\win32" : L"\\0\\win64";

// An open registry key, closed when it goes.
class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() {
    if (handle_ != nullptr) RegCloseKey(handle_);
  }
  HKEY* cell() { return &handle_; }
  HKEY get() const { return handle_; }

 private:
  HKEY handle_ = nullptr;
};

// The classes tree the keys go to: HKEY_CLASSES_ROOT for the machine, the
// user's HKEY_CURRENT_USER\Software\Classes for the user.
class ClassesTree {
 public:
  explicit ClassesTree(bool per_user) {
    if (!per_user) {
      root_ = HKEY_CLASSES_ROOT;
    } else if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0,
                               KEY_ALL_ACCESS, nullptr, user_classes_.cell(),
                               nullptr) == ERROR_SUCCESS) {
      root_ = user_classes_.get();
    }
  }
  bool usable() const { return root_ != nullptr; }
  bool per_user() const { return root_ != HKEY_CLASSES_ROOT; }
  HKEY root() const { return root_; }

  // Sets value `name` (nullptr for the default value) of `key` to `data`,
  // creating the key.
  bool set(const std::wstring& key, const wchar_t* name, const std::wstring& data) const {
    RegKey handle;
    if (RegCreateKeyExW(root_, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.cell(),
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    return RegSetValueExW(handle.get(), name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }

  bool exists(const std::wstring& key) const {
    RegKey handle;
    return RegOpenKeyExW(root_, key.c_str(), 0, KEY_READ, handle.cell()) == ERROR_SUCCESS;
  }

  void remove(const std::wstring& key) const { RegDeleteTreeW(root_, key.c_str()); }

  // Removes `key` from the 32- and the 64-bit view of the tree (only from
  // the machine's classes for the machine: HKEY_CLASSES_ROOT would reach a
  // user's key of the same name too).
  void remove_in_every_view(const std::wstring& key) const {
    const HKEY base = per_user() ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      RegKey classes;
      if (RegOpenKeyExW(base, L"Software\\Classes", 0, KEY_ALL_ACCESS | view, classes.cell()) ==
          ERROR_SUCCESS) {
        RegDeleteTreeW(classes.get(), key.c_str());
      }
    }
  }

  // Removes `key` when nothing is left under it (no subkey, no value).
  void remove_if_empty(const std::wstring& key) const {
    DWORD subkeys = 0, values = 0;
    {
      RegKey handle;
      if (RegOpenKeyExW(root_, key.c_str(), 0, KEY_READ, handle.cell()) != ERROR_SUCCESS ||
          RegQueryInfoKeyW(handle.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                           &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return;
      }
    }
    if (subkeys == 0 && values == 0) RegDeleteKeyW(root_, key.c_str());
  }

 private:
  RegKey user_classes_;
  HKEY root_ = nullptr;
};

bool register_class(const ClassesTree& tree, const std::wstring& path) {
  const std::wstring cls = kClassKey;
  const std::wstring progid = kProgId;
  return tree.set(cls, nullptr, kProgId) && tree.set(cls + L"\\InprocServer32", nullptr, path) &&
         tree.set(cls + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
         tree.set(cls + L"\\ProgID", nullptr, kProgId) &&
         tree.set(cls + L"\\TypeLib", nullptr, kLibId) &&
         tree.set(cls + L"\\VERSION", nullptr, L"4.1") && tree.set(progid, nullptr, kProgId) &&
         tree.set(progid + L"\\CLSID", nullptr, kClsid) &&
         tree.set(progid + L"\\CurVer", nullptr, kProgId);
}

// An interface key as the type library's registration writes it: the
// automation marshaler as proxy, the library it is described in.
bool register_interface(const ClassesTree& tree, const std::wstring& key, const wchar_t* name) {
  return tree.set(key, nullptr, name) &&
         tree.set(key + L"\\ProxyStubClsid", nullptr, kAutomationProxy) &&
         tree.set(key + L"\\ProxyStubClsid32", nullptr, kAutomationProxy) &&
         tree.set(key + L"\\TypeLib", nullptr, kLibId) &&
         tree.set(key + L"\\TypeLib", L"Version", L"4.1");
}

bool register_earlier_interface(const ClassesTree& tree) {
  return register_interface(tree, kEarlierInterfaceKey, L"clsStringList___v0") &&
         tree.set(kEarlierInterfaceKey + std::wstring(L"\\Forward"), nullptr, kInterfaceId);
}

// The type library's keys written directly, where the system's registration
// cannot write to the user's tree: the values it writes (the library's help
// string, else its name, and its flags).
bool write_type_library_keys(const ClassesTree& tree, const std::wstring& path) {
  ITypeLib* library = nullptr;
  if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) return false;
  Bstr name, help;
  library->GetDocumentation(-1, name.cell(), help.cell(), nullptr, nullptr);
  TLIBATTR* attributes = nullptr;
  unsigned flags = 0;
  if (SUCCEEDED(library->GetLibAttr(&attributes))) {
    flags = attributes->wLibFlags;
    library->ReleaseTLibAttr(attributes);
  }
  library->Release();
  const std::wstring version = kLibraryVersionKey;
  return tree.set(version, nullptr,
                  std::wstring(help.view().empty() ? name.view() : help.view())) &&
         tree.set(version + L"\\FLAGS", nullptr, std::to_wstring(flags)) &&
         tree.set(version + L"\\HELPDIR", nullptr, platform::file_folder(path)) &&
         tree.set(version + kPlatform, nullptr, path) &&
         register_interface(tree, kInterfaceKey, L"_clsStringList");
}

HRESULT register_type_library(const std::wstring& path) {
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (SUCCEEDED(hr)) {
    std::wstring writable = path;
    hr = RegisterTypeLib(library, writable.data(), nullptr);
    library->Release();
  }
  return hr;
}

// Registers the type library for the user: where the system offers it
// (OaEnablePerUserTLibRegistration, Windows Vista and later), its own
// registration with HKEY_CLASSES_ROOT mapped to the user's tree; then, if the
// platform key is not in the user's tree (the function is missing, or the
// system wrote elsewhere), the keys directly.
bool register_type_library_for_user(const ClassesTree& tree, const std::wstring& path) {
  using EnablePerUser = void(WINAPI*)();
  const HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
  const auto enable = reinterpret_cast<EnablePerUser>(reinterpret_cast<void*>(
      oleaut != nullptr ? GetProcAddress(oleaut, "OaEnablePerUserTLibRegistration") : nullptr));
  if (enable != nullptr && RegOverridePredefKey(HKEY_CLASSES_ROOT, tree.root()) == ERROR_SUCCESS) {
    enable();
    register_type_library(path);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  }
  if (tree.exists(kLibraryVersionKey + std::wstring(kPlatform))) return true;
  return write_type_library_keys(tree, path);
}

void unregister_all(const ClassesTree& tree) {
  // The class and interface keys are kept per registry view.
  tree.remove(kClassKey);
  tree.remove(kInterfaceKey);
  tree.remove(kEarlierInterfaceKey);
  const std::wstring version = kLibraryVersionKey;
  if (tree.exists(version + kOtherPlatform)) {
    // Shared by both views: the other processor's registration still needs
    // the library's version key and the programmatic identifier.
    tree.remove(version + kPlatform);
    return;
  }
  if (!tree.per_user()) {
    UnRegisterTypeLib(LIBID_CorvaneV10, 4, 1, LOCALE_NEUTRAL, kWin64 ? SYS_WIN64 : SYS_WIN32);
  }
  tree.remove(version);
  tree.remove_if_empty(kLibraryKey);
  // Windows shares the identifier between the views, wine keeps one per view:
  // the last registration to go removes it from both.
  tree.remove_in_every_view(kProgId);
}

HRESULT register_all(bool per_user) {
  const ClassesTree tree(per_user);
  const std::wstring path = module_path();
  if (path.empty() || !tree.usable()) return SELFREG_E_CLASS;
  const bool library = per_user ? register_type_library_for_user(tree, path)
                                : SUCCEEDED(register_type_library(path));
  if (!library) {
    unregister_all(tree);
    return SELFREG_E_TYPELIB;
  }
  if (!register_class(tree, path) || !register_earlier_interface(tree)) {
    unregister_all(tree);
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

// DllInstall's command line: "user" (any case, blanks around it allowed) for
// the current user, nothing for the machine.
enum class Scope { kMachine, kUser, kUnknown };
Scope scope_of(const wchar_t* command_line) {
  std::wstring word;
  for (const wchar_t* c = command_line; c != nullptr && *c != L'\0'; ++c) {
    if (!std::iswspace(*c)) word += static_cast<wchar_t>(std::towlower(*c));
  }
  if (word.empty()) return Scope::kMachine;
  return word == L"user" ? Scope::kUser : Scope::kUnknown;
}

}  // namespace

}  // namespace corvane::com

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  return corvane::com::register_all(false);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  corvane::com::unregister_all(corvane::com::ClassesTree(false));
  return S_OK;
}

// regsvr32 /n /i:user registers for the current user, /u /n /i:user removes
// that registration; without a command line, the machine's.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, const wchar_t* command_line) {
  using namespace corvane::com;
  const Scope scope = scope_of(command_line);
  if (scope == Scope::kUnknown) return E_INVALIDARG;
  const bool per_user = scope == Scope::kUser;
  if (install) return register_all(per_user);
  const ClassesTree tree(per_user);
  if (!tree.usable()) return SELFREG_E_CLASS;
  unregister_all(tree);
  return S_OK;
}
