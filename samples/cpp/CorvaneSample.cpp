// A C++ client of CorvaneV10.clsStringList: it creates the object by its
// programmatic identifier and uses it early-bound (through the interface
// declared in CorvaneV10.h) and late-bound (through IDispatch, by member
// names, as scripts do).
//
// It runs wherever the class can be found:
//   CorvaneSample.exe                       the class registered (regsvr32, an
//                                           installer), or this program's own
//                                           manifest naming "Corvane.sxs"
//                                           (CorvaneSample.exe.manifest beside it)
//   CorvaneSample.exe --activate <file>     nothing registered: the DLL's
//                                           assembly manifest (Corvane.sxs.manifest)
//                                           activated from code, as the VBA
//                                           sample does
// It prints "FAIL: ..." for a check that failed and "Corvane sample: done"
// when all passed; the exit code is 1 after a failure.
//
// Build (mingw-w64): x86_64-w64-mingw32-g++ -municode CorvaneSample.cpp -lole32 -loleaut32 -luuid
#include <ole2.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>

// CorvaneV10.h's identifiers are defined in this file, after the system's.
#include <initguid.h>

#include "CorvaneV10.h"

namespace {

int failures = 0;

void check(bool condition, const char* what) {
  if (!condition) {
    std::printf("FAIL: %s\n", what);
    ++failures;
  }
}

// A list of three sorted entries, as a string array.
SAFEARRAY* three_entries() {
  SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, 3);
  const wchar_t* entries[] = {L"alpha", L"bravo", L"charlie"};
  for (LONG i = 0; i < 3; ++i) {
    BSTR entry = SysAllocString(entries[i]);
    SafeArrayPutElement(array, &i, entry);
    SysFreeString(entry);
  }
  return array;
}

// The object through its vtable: the list put, "BRAVO" found at index 1.
void use_early_bound(IUnknown* object) {
  _clsStringList* list = nullptr;
  check(object->QueryInterface(IID__clsStringList, reinterpret_cast<void**>(&list)) == S_OK,
        "the object answers _clsStringList");
  if (list == nullptr) return;
  VARIANT entries;
  VariantInit(&entries);
  entries.vt = VT_ARRAY | VT_BSTR;
  entries.parray = three_entries();
  check(list->put_StringList(entries) == S_OK, "StringList put");
  VariantClear(&entries);
  BSTR target = SysAllocString(L"BRAVO");
  VARIANT_BOOL as_long = VARIANT_FALSE;
  VARIANT found;
  VariantInit(&found);
  check(list->lfnMatch(&target, &as_long, &found) == S_OK && found.vt == VT_I4 && found.lVal == 1,
        "lfnMatch finds bravo at 1");
  SysFreeString(target);
  VariantClear(&found);
  list->Release();
}

// The object through IDispatch, by member names.
void use_late_bound(IUnknown* object) {
  IDispatch* dispatch = nullptr;
  check(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)) == S_OK,
        "the object answers IDispatch");
  if (dispatch == nullptr) return;
  auto id_of = [&](const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
  };
  VARIANT entries;
  VariantInit(&entries);
  entries.vt = VT_ARRAY | VT_BSTR;
  entries.parray = three_entries();
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS put_params{&entries, &put, 1, 1};
  check(dispatch->Invoke(id_of(L"StringList"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                         &put_params, nullptr, nullptr, nullptr) == S_OK,
        "StringList put by name");
  VariantClear(&entries);
  VARIANT target;
  VariantInit(&target);
  target.vt = VT_BSTR;
  target.bstrVal = SysAllocString(L"charlie");
  DISPPARAMS params{&target, nullptr, 1, 0};
  VARIANT found;
  VariantInit(&found);
  check(dispatch->Invoke(id_of(L"lfnMatch"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                         &params, &found, nullptr, nullptr) == S_OK &&
            found.vt == VT_I4 && found.lVal == 2,
        "lfnMatch by name finds charlie at 2");
  VariantClear(&target);
  VariantClear(&found);
  dispatch->Release();
}

// Creates the object by programmatic identifier and uses it both ways.
void create_and_use() {
  // With a manifest the identifier may name an alias of the class's
  // identifier, which creates the same class.
  CLSID clsid{};
  check(CLSIDFromProgID(L"CorvaneV10.clsStringList", &clsid) == S_OK,
        "the programmatic identifier is known");
  IUnknown* object = nullptr;
  const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      reinterpret_cast<void**>(&object));
  check(hr == S_OK, "the object is created");
  if (object == nullptr) return;
  use_early_bound(object);
  use_late_bound(object);
  object->Release();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  if (argc == 3 && std::wcscmp(argv[1], L"--activate") == 0) {
    // Nothing is registered: without the manifest the class is unknown.
    CLSID clsid{};
    check(CLSIDFromProgID(L"CorvaneV10.clsStringList", &clsid) != S_OK,
          "the identifier is unknown before the manifest is activated");
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.lpSource = argv[2];
    const HANDLE handle = CreateActCtxW(&context);
    check(handle != INVALID_HANDLE_VALUE, "the manifest makes an activation context");
    ULONG_PTR cookie = 0;
    if (handle != INVALID_HANDLE_VALUE && ActivateActCtx(handle, &cookie)) {
      create_and_use();
      DeactivateActCtx(0, cookie);
    }
    if (handle != INVALID_HANDLE_VALUE) ReleaseActCtx(handle);
  } else {
    create_and_use();
  }
  CoUninitialize();
  if (failures == 0) std::printf("Corvane sample: done\n");
  return failures == 0 ? 0 : 1;
}
