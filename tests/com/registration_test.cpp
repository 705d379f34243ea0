// Registration for the machine (regsvr32) and for the current user
// (regsvr32 /n /i:user, DllInstall), alone and beside the other processor's
// registration: which keys each writes, and that unregistering removes
// exactly those and keeps what the other processor still needs.
//
// Wine does not merge the user's classes into HKEY_CLASSES_ROOT, so creating
// an object through a per-user registration cannot be shown here; the keys
// are what is checked.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::wstring kClass = L"CLSID\\{4C80A6D8-AE04-4B5F-A6BD-281875877CCF}";
const std::wstring kProgId = L"CorvaneV10.clsStringList";
const std::wstring kLibrary = L"TypeLib\\{489EA435-6CD9-4820-986B-7CBA9CC7E606}";
const std::wstring kInterface = L"Interface\\{6E971FC3-B191-4FA0-A578-72A13975EBB7}";
const std::wstring kEarlier = L"Interface\\{6EC7F1C7-4D11-4436-91C7-AE494CBA446B}";
const std::wstring kThisPlatform =
    kLibrary + (sizeof(void*) == 8 ? L"\\4.1\\0\\win64" : L"\\4.1\\0\\win32");
const std::wstring kOtherPlatform =
    kLibrary + (sizeof(void*) == 8 ? L"\\4.1\\0\\win32" : L"\\4.1\\0\\win64");

std::wstring dll_path() {
  const char* path = std::getenv("CORVANE_DLL");
  return fs::path(path == nullptr ? "" : path).make_preferred().wstring();
}

// A classes tree: the machine's or the user's.
struct Tree {
  HKEY base;
  std::wstring value(const std::wstring& key, const wchar_t* name = nullptr) const {
    wchar_t data[512] = {};
    DWORD size = sizeof data;
    const std::wstring path = L"Software\\Classes\\" + key;
    return RegGetValueW(base, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) ==
                   ERROR_SUCCESS
               ? data
               : L"<missing>";
  }
  bool has(const std::wstring& key) const {
    HKEY handle = nullptr;
    const std::wstring path = L"Software\\Classes\\" + key;
    if (RegOpenKeyExW(base, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
  }
  void set(const std::wstring& key, const std::wstring& data) const {
    const std::wstring path = L"Software\\Classes\\" + key;
    RegSetKeyValueW(base, path.c_str(), nullptr, REG_SZ, data.c_str(),
                    static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }
  void remove(const std::wstring& key) const {
    const std::wstring path = L"Software\\Classes\\" + key;
    RegDeleteTreeW(base, path.c_str());
  }
};

class Registration : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryW(dll_path().c_str());
    ASSERT_NE(module_, nullptr);
    install_ =
        reinterpret_cast<Install>(reinterpret_cast<void*>(GetProcAddress(module_, "DllInstall")));
    register_ = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
    unregister_ = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllUnregisterServer")));
    ASSERT_TRUE(install_ != nullptr && register_ != nullptr && unregister_ != nullptr);
  }
  // The machine's registration is what the other COM tests use: it is
  // written again however a test ends.
  void TearDown() override {
    if (register_ != nullptr) {
      EXPECT_EQ(register_(), S_OK);
    }
    kUser.remove(kOtherPlatform);
    kMachine.remove(kOtherPlatform);
    if (install_ != nullptr) install_(FALSE, L"user");
    if (module_ != nullptr) FreeLibrary(module_);
  }

  HRESULT add(bool per_user) { return per_user ? install_(TRUE, L" User ") : register_(); }
  HRESULT remove(bool per_user) { return per_user ? install_(FALSE, L"user") : unregister_(); }

  using Install = HRESULT(STDAPICALLTYPE*)(BOOL, const wchar_t*);
  using Entry = HRESULT(STDAPICALLTYPE*)();
  const Tree kMachine{HKEY_LOCAL_MACHINE};
  const Tree kUser{HKEY_CURRENT_USER};
  HMODULE module_ = nullptr;
  Install install_ = nullptr;
  Entry register_ = nullptr;
  Entry unregister_ = nullptr;
};

// What a registration writes, each key with the value it must hold.
std::map<std::wstring, std::wstring> written(const Tree& tree) {
  return {{L"class", tree.value(kClass)},
          {L"server", tree.value(kClass + L"\\InprocServer32")},
          {L"threading", tree.value(kClass + L"\\InprocServer32", L"ThreadingModel")},
          {L"class's library", tree.value(kClass + L"\\TypeLib")},
          {L"identifier's class", tree.value(kProgId + L"\\CLSID")},
          {L"library's file", tree.value(kThisPlatform)},
          {L"interface's library", tree.value(kInterface + L"\\TypeLib")},
          {L"earlier interface", tree.value(kEarlier + L"\\Forward")}};
}

std::map<std::wstring, std::wstring> expected_keys() {
  std::wstring path = dll_path();
  return {{L"class", kProgId},
          {L"server", path},
          {L"threading", L"Apartment"},
          {L"class's library", L"{489EA435-6CD9-4820-986B-7CBA9CC7E606}"},
          {L"identifier's class", kClass.substr(6)},
          {L"library's file", path},
          {L"interface's library", L"{489EA435-6CD9-4820-986B-7CBA9CC7E606}"},
          {L"earlier interface", kInterface.substr(10)}};
}

// Each scope alone and beside the other processor's registration (its type
// library platform key): registering writes every key; unregistering removes
// the per-view keys always, and the shared ones (the library's version key,
// the programmatic identifier) only when the other is not there. A
// registration for the user leaves the machine's as it was.
TEST_F(Registration, ForTheMachineAndTheUserAloneAndBesideTheOtherProcessor) {
  for (const bool per_user : {false, true}) {
    for (const bool other : {false, true}) {
      SCOPED_TRACE(testing::Message() << "per user " << per_user << ", other " << other);
      const Tree& tree = per_user ? kUser : kMachine;
      if (per_user) {
        ASSERT_EQ(remove(true), S_OK);
      }
      if (other) tree.set(kOtherPlatform, L"C:\\other\\Corvane.dll");
      ASSERT_EQ(add(per_user), S_OK);
      auto keys = written(tree);
      // Paths compare without regard to case.
      for (const wchar_t* path : {L"server", L"library's file"}) {
        if (_wcsicmp(keys[path].c_str(), dll_path().c_str()) == 0) keys[path] = dll_path();
      }
      EXPECT_EQ(keys, expected_keys());
      if (per_user) {
        EXPECT_EQ(kMachine.value(kClass + L"\\InprocServer32"), keys[L"server"]);
      }

      ASSERT_EQ(remove(per_user), S_OK);
      for (const auto& key : {kClass, kInterface, kEarlier, kThisPlatform}) {
        EXPECT_FALSE(tree.has(key)) << key.size();
      }
      EXPECT_EQ(tree.has(kProgId), other);
      EXPECT_EQ(tree.value(kOtherPlatform), other ? L"C:\\other\\Corvane.dll" : L"<missing>");
      if (per_user) {
        EXPECT_TRUE(kMachine.has(kClass));
      }
      // With the other gone, the next removal takes the shared keys too.
      tree.remove(kOtherPlatform);
      ASSERT_EQ(remove(per_user), S_OK);
      EXPECT_FALSE(tree.has(kProgId) || tree.has(kLibrary));
      if (!per_user) {
        ASSERT_EQ(add(false), S_OK);
      }
    }
  }
}

// DllInstall knows "user" and the empty command line (the machine); any other
// word is refused and writes nothing.
TEST_F(Registration, UnknownScopeIsRefused) {
  for (const wchar_t* word : {L"users", L"machine", L"user x"}) {
    EXPECT_EQ(install_(TRUE, word), E_INVALIDARG);
    EXPECT_EQ(install_(FALSE, word), E_INVALIDARG);
  }
  EXPECT_FALSE(kUser.has(kClass));
  EXPECT_EQ(install_(FALSE, L""), S_OK);
  EXPECT_FALSE(kMachine.has(kClass));
  EXPECT_EQ(install_(TRUE, nullptr), S_OK);
  EXPECT_TRUE(kMachine.has(kClass));
}

}  // namespace
