// A compiled client of Corvane.dll through the real COM boundary: creation
// by programmatic identifier and by class identifier, every member early-
// bound (vtable) and late-bound (IDispatch), the type library and resources,
// registration and unloading. The DLL is registered in the test's wine
// prefix before this runs; CORVANE_DLL names it.
#include <gtest/gtest.h>
#include <oaidl.h>
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "CorvaneV10.h"
#include "platform/automation_objects.h"
#include "trace/crash_handling.h"
#include "trace/module_values.h"

namespace {

// {6EC7F1C7-4D11-4436-91C7-AE494CBA446B}
constexpr IID kIID_v0 = {
    0x6EC7F1C7, 0x4D11, 0x4436, {0x91, 0xC7, 0xAE, 0x49, 0x4C, 0xBA, 0x44, 0x6B}};

template <class T>
class Ptr {
 public:
  Ptr() = default;
  Ptr(const Ptr&) = delete;
  Ptr& operator=(const Ptr&) = delete;
  ~Ptr() { reset(); }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (p_ != nullptr) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// The DLL under test, with Windows folder separators.
std::wstring dll_path() {
  const char* path = std::getenv("CORVANE_DLL");
  if (path == nullptr) return L"";
  std::wstring wide(path, path + std::strlen(path));
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

std::filesystem::path temp_file(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() / "corvane-com-tests";
  std::filesystem::create_directories(dir);
  std::filesystem::remove_all(dir / name);
  return dir / name;
}

std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

struct OwnedBstr {
  explicit OwnedBstr(const wchar_t* text) : b(SysAllocString(text)) {}
  ~OwnedBstr() { SysFreeString(b); }
  BSTR b;
};

// A String() array with the given lower bound, as a compiled client builds one.
SAFEARRAY* strings(LONG lower, std::vector<std::wstring> items) {
  SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), lower};
  SAFEARRAY* a = SafeArrayCreate(VT_BSTR, 1, &bound);
  for (size_t i = 0; i < items.size(); ++i) {
    LONG index = lower + static_cast<LONG>(i);
    OwnedBstr value(items[i].c_str());
    SafeArrayPutElement(a, &index, value.b);
  }
  return a;
}

std::vector<std::wstring> contents(SAFEARRAY* a, LONG* lower = nullptr) {
  std::vector<std::wstring> items;
  if (a == nullptr) return items;
  LONG lo = 0, hi = -1;
  SafeArrayGetLBound(a, 1, &lo);
  SafeArrayGetUBound(a, 1, &hi);
  if (lower != nullptr) *lower = lo;
  for (LONG i = lo; i <= hi; ++i) {
    BSTR item = nullptr;
    SafeArrayGetElement(a, &i, &item);
    items.emplace_back(item == nullptr ? L"" : item);
    SysFreeString(item);
  }
  return items;
}

void create(Ptr<_clsStringList>& list) {
  ASSERT_EQ(CoCreateInstance(CLSID_clsStringList, nullptr, CLSCTX_INPROC_SERVER, IID__clsStringList,
                             list.put_void()),
            S_OK);
}

// Init with a fresh detail log; returns its path.
std::filesystem::path init(_clsStringList* list, const std::string& log_name, LONG level = 2) {
  const auto log = temp_file(log_name);
  OwnedBstr detail(log.wstring().c_str());
  OwnedBstr empty(L"");
  LONG trace_level = level;
  EXPECT_EQ(list->Init(&detail.b, &empty.b, &empty.b, &trace_level), S_OK);
  return log;
}

TEST(Creation, ByProgIdAndClsidWithEveryInterface) {
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"CorvaneV10.clsStringList", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_clsStringList));

  Ptr<IUnknown> unknown;
  ASSERT_EQ(
      CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unknown.put_void()),
      S_OK);
  Ptr<_clsStringList> current;
  Ptr<IUnknown> earlier;
  Ptr<IDispatch> dispatch;
  Ptr<ISupportErrorInfo> error_info;
  ASSERT_EQ(unknown->QueryInterface(IID__clsStringList, current.put_void()), S_OK);
  ASSERT_EQ(unknown->QueryInterface(kIID_v0, earlier.put_void()), S_OK);
  ASSERT_EQ(unknown->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
  ASSERT_EQ(unknown->QueryInterface(IID_ISupportErrorInfo, error_info.put_void()), S_OK);
  // The earlier identity is the same interface.
  EXPECT_EQ(static_cast<void*>(earlier.get()), static_cast<void*>(current.get()));
  EXPECT_EQ(static_cast<void*>(dispatch.get()), static_cast<void*>(current.get()));
  EXPECT_EQ(error_info->InterfaceSupportsErrorInfo(IID__clsStringList), S_OK);
  EXPECT_EQ(error_info->InterfaceSupportsErrorInfo(kIID_v0), S_OK);
  EXPECT_EQ(error_info->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
  Ptr<IUnknown> other;
  EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, other.put_void()), E_NOINTERFACE);

  Ptr<IUnknown> aggregated;
  EXPECT_EQ(CoCreateInstance(clsid, unknown.get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                             aggregated.put_void()),
            CLASS_E_NOAGGREGATION);
}

TEST(EarlyBound, FillReadReplace) {
  Ptr<_clsStringList> list;
  create(list);
  const auto log = init(list.get(), "early.log");

  VARIANT value;
  VariantInit(&value);
  value.vt = VT_ARRAY | VT_BSTR;
  value.parray = strings(5, {L"a", L"b", L"c"});
  ASSERT_EQ(list->put_StringList(value), S_OK);
  VariantClear(&value);

  VARIANT back;
  VariantInit(&back);
  ASSERT_EQ(list->get_StringList(&back), S_OK);
  EXPECT_EQ(back.vt, VT_ARRAY | VT_BSTR);
  LONG lower = 0;
  EXPECT_EQ(contents(back.parray, &lower), (std::vector<std::wstring>{L"a", L"b", L"c"}));
  EXPECT_EQ(lower, 5);
  VariantClear(&back);

  LONG index = 6;
  OwnedBstr replacement(L"B");
  ASSERT_EQ(list->ReplaceString(&index, &replacement.b), S_OK);
  index = 9;
  ASSERT_EQ(list->ReplaceString(&index, &replacement.b), S_OK);  // logged, not raised
  BSTR null_string = nullptr;
  index = 7;
  ASSERT_EQ(list->ReplaceString(&index, &null_string), S_OK);  // a null string is empty
  ASSERT_EQ(list->get_StringList(&back), S_OK);
  EXPECT_EQ(contents(back.parray), (std::vector<std::wstring>{L"a", L"B", L""}));
  VariantClear(&back);
  EXPECT_NE(read_file(log).find("outside of range of array: 9"), std::string::npos);
}

TEST(EarlyBound, TheLogFilesAClientsCallsLeaveBehind) {
  Ptr<_clsStringList> list;
  create(list);
  const auto folder = temp_file("logs");
  std::filesystem::create_directories(folder);
  OwnedBstr detail((folder / "detail.log").wstring().c_str());
  OwnedBstr summary((folder / "summary.log").wstring().c_str());
  OwnedBstr log_folder(folder.wstring().c_str());
  LONG level = 2;
  ASSERT_EQ(list->Init(&detail.b, &summary.b, &log_folder.b, &level), S_OK);
  LONG index = 5;
  OwnedBstr text(L"x");
  ASSERT_EQ(list->ReplaceString(&index, &text.b), S_OK);  // no list: logged

  const std::string detail_text = read_file(folder / "detail.log");
  EXPECT_NE(detail_text.find("\tCorvane\tmodVBTrace.GlobalErrorsLog: GlobalErrorsLog >>> "
                             "clsStringList.ReplaceString\tNo strings in StringList. Error 9:\r\n"
                             "Subscript out of range\tSeverity: 2\r\n"),
            std::string::npos);
  const std::string summary_text = read_file(folder / "summary.log");
  ASSERT_GT(summary_text.size(), 2u);
  EXPECT_EQ(summary_text.substr(0, 2), "\r\n");  // a leading break before the stamped line
  EXPECT_NE(summary_text.find("\tCorvane\tclsStringList.ReplaceString: \tNo strings in StringList. "
                              "Error 9:\r\nSubscript out of range\r\n"),
            std::string::npos);
}

TEST(EarlyBound, BadArgumentsNeverCrashOrRaise) {
  Ptr<_clsStringList> list;
  create(list);
  const auto log = init(list.get(), "bad.log");

  VARIANT number;
  VariantInit(&number);
  number.vt = VT_I4;
  number.lVal = 3;
  EXPECT_EQ(list->put_StringList(number), S_OK);
  VARIANT back;
  VariantInit(&back);
  ASSERT_EQ(list->get_StringList(&back), S_OK);
  EXPECT_EQ(back.vt, VT_ARRAY | VT_BSTR);
  EXPECT_EQ(back.parray, nullptr);
  EXPECT_NE(read_file(log).find("Unexpected parameter passed to StringList property"),
            std::string::npos);

  EXPECT_EQ(list->get_StringList(nullptr), E_POINTER);
  OwnedBstr text(L"x");
  EXPECT_EQ(list->ReplaceString(nullptr, &text.b), E_POINTER);
  LONG index = 0;
  EXPECT_EQ(list->ReplaceString(&index, nullptr), S_OK);  // no string: empty
  EXPECT_EQ(list->TransferVBListBoxToStringList(nullptr), E_POINTER);
  VARIANT not_a_box;
  VariantInit(&not_a_box);
  not_a_box.vt = VT_BSTR;
  not_a_box.bstrVal = SysAllocString(L"List1");
  EXPECT_EQ(list->TransferVBListBoxToStringList(&not_a_box), S_OK);
  VariantClear(&not_a_box);
  EXPECT_EQ(list->Init(nullptr, nullptr, nullptr, nullptr), E_POINTER);
}

TEST(EarlyBound, ListBoxTransferFromARegisteredControl) {
  Ptr<_clsStringList> list;
  create(list);
  init(list.get(), "box.log");
  Ptr<IDispatch> box;
  CLSID box_clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"CorvaneTest.ListBox", &box_clsid), S_OK);
  ASSERT_EQ(
      CoCreateInstance(box_clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, box.put_void()),
      S_OK);
  for (const wchar_t* item : {L"zulu", L"alpha"}) {
    DISPID add = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"AddItem");
    ASSERT_EQ(box->GetIDsOfNames(IID_NULL, &name, 1, 0, &add), S_OK);
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = SysAllocString(item);
    DISPPARAMS params{&arg, nullptr, 1, 0};
    ASSERT_EQ(box->Invoke(add, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              S_OK);
    VariantClear(&arg);
  }
  VARIANT control;
  VariantInit(&control);
  control.vt = VT_DISPATCH;
  control.pdispVal = box.get();
  ASSERT_EQ(list->TransferVBListBoxToStringList(&control), S_OK);
  VARIANT back;
  VariantInit(&back);
  ASSERT_EQ(list->get_StringList(&back), S_OK);
  EXPECT_EQ(contents(back.parray), (std::vector<std::wstring>{L"zulu", L"alpha"}));
  VariantClear(&back);
}

TEST(EarlyBound, Lookups) {
  Ptr<_clsStringList> list;
  create(list);
  init(list.get(), "lookups.log");
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_ARRAY | VT_BSTR;
  value.parray = strings(0, {L"apple", L"Banana", L"band", L"cherry (42)"});
  ASSERT_EQ(list->put_StringList(value), S_OK);
  VariantClear(&value);

  OwnedBstr target(L"BAND");
  VARIANT_BOOL as_long = VARIANT_FALSE;
  VARIANT found;
  VariantInit(&found);
  ASSERT_EQ(list->lfnMatch(&target.b, &as_long, &found), S_OK);
  EXPECT_EQ(found.vt, VT_I4);
  EXPECT_EQ(found.lVal, 2);
  as_long = VARIANT_TRUE;
  ASSERT_EQ(list->lfnMatch(&target.b, &as_long, &found), S_OK);
  EXPECT_EQ(found.vt, VT_I2);  // no number: no search
  EXPECT_EQ(found.iVal, -1);
  ASSERT_EQ(list->lfnMatch(&target.b, nullptr, &found), S_OK);  // omitted: as text
  EXPECT_EQ(found.lVal, 2);

  OwnedBstr prefix(L"ban");
  LONG compare_type = 1;
  LONG location = -9;
  ASSERT_EQ(list->lfnMatchingPrefixLocation(&prefix.b, &compare_type, &location), S_OK);
  EXPECT_EQ(location, 1);
  ASSERT_EQ(list->lfnFirstMatchingPrefix(&prefix.b, &location), S_OK);
  EXPECT_EQ(location, 1);

  // The description search writes the stored entry back into the caller's string.
  BSTR description = SysAllocString(L"CHERRY");
  VARIANT_BOOL with_code = VARIANT_FALSE;
  ASSERT_EQ(list->lfnMatchingPrefixLocationServerChange(&description, &compare_type, &with_code,
                                                        &location),
            S_OK);
  EXPECT_EQ(location, 3);
  EXPECT_STREQ(description, L"cherry (42)");
  SysFreeString(description);
  description = SysAllocString(L"durian");
  ASSERT_EQ(
      list->lfnMatchingPrefixLocationServerChange(&description, &compare_type, nullptr, &location),
      S_OK);
  EXPECT_EQ(location, -1);
  EXPECT_STREQ(description, L"durian");
  SysFreeString(description);

  OwnedBstr coded(L"Red Apple (123)");
  VARIANT_BOOL contains = VARIANT_FALSE;
  ASSERT_EQ(list->bfnDescriptionContainsCode(&coded.b, &contains), S_OK);
  EXPECT_EQ(contains, VARIANT_TRUE);
}

TEST(EarlyBound, DescriptionCodeRaisesWithErrorInfo) {
  Ptr<_clsStringList> list;
  create(list);
  init(list.get(), "raise.log");
  SetErrorInfo(0, nullptr);
  OwnedBstr empty(L"");
  VARIANT_BOOL contains = VARIANT_TRUE;
  EXPECT_EQ(list->bfnDescriptionContainsCode(&empty.b, &contains),
            static_cast<HRESULT>(0x800A0005));
  EXPECT_EQ(contains, VARIANT_TRUE);  // untouched
  Ptr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  BSTR description = nullptr;
  BSTR source = nullptr;
  GUID guid{};
  info->GetDescription(&description);
  info->GetSource(&source);
  info->GetGUID(&guid);
  const std::wstring text = description;
  EXPECT_EQ(text.rfind(L"Invalid procedure call or argument\r\nRaised at line ", 0), 0u);
  const std::wstring label = L" in in Corvane.bfnDescriptionContainsCode.";
  ASSERT_GT(text.size(), label.size());
  EXPECT_EQ(text.substr(text.size() - label.size()), label);
  EXPECT_STREQ(source, L"CorvaneV10.clsStringList");
  EXPECT_TRUE(IsEqualGUID(guid, IID__clsStringList));
  SysFreeString(description);
  SysFreeString(source);
}

#ifdef _WIN64
using Address = hyper;
#else
using Address = LONG;
#endif

TEST(EarlyBound, SharingTheClientsArrayInPlace) {
  // The client's own String() variable.
  SAFEARRAY* variable = strings(0, {L"alpha", L"bravo", L"charlie"});
  Address address = reinterpret_cast<Address>(&variable);
  {
    Ptr<_clsStringList> list;
    create(list);
    const auto log = init(list.get(), "sharing.log");
    ASSERT_EQ(list->AssignStringList(&address), S_OK);
    OwnedBstr target(L"Bravo");
    VARIANT found;
    VariantInit(&found);
    ASSERT_EQ(list->lfnMatch(&target.b, nullptr, &found), S_OK);
    EXPECT_EQ(found.lVal, 1);
    LONG index = 1;
    OwnedBstr beta(L"beta");
    ASSERT_EQ(list->ReplaceString(&index, &beta.b), S_OK);
    EXPECT_EQ(contents(variable), (std::vector<std::wstring>{L"alpha", L"beta", L"charlie"}));

    // A second instance reads the first one's list through its descriptor;
    // released before the first, then after it.
    for (bool reader_first : {true, false}) {
      Ptr<_clsStringList> reader;
      create(reader);
      Address descriptor = 0;
      ASSERT_EQ(list->get_ppStringListDescriptor(&descriptor), S_OK);
      ASSERT_EQ(reader->AssignStringList(&descriptor), S_OK);
      OwnedBstr charlie(L"CHARLIE");
      ASSERT_EQ(reader->lfnMatch(&charlie.b, nullptr, &found), S_OK);
      EXPECT_EQ(found.lVal, 2);
      if (reader_first) {
        reader.reset();
      } else {
        Ptr<_clsStringList> other;
        create(other);
        ASSERT_EQ(other->AssignStringList(&address), S_OK);
        other.reset();
        reader.reset();
      }
    }
    list.reset();
    const std::string text = read_file(log);
    EXPECT_NE(
        text.find(
            "clsStringList.Class_Terminate: Before Clearing VarPtrStringArray(m_sStringList)"),
        std::string::npos);
    EXPECT_NE(
        text.find("clsStringList.Class_Terminate: After Clearing VarPtrStringArray(m_sStringList)"),
        std::string::npos);
  }
  // Every instance is gone; the client's array and strings are intact.
  EXPECT_EQ(contents(variable), (std::vector<std::wstring>{L"alpha", L"beta", L"charlie"}));
  SafeArrayDestroy(variable);
}

TEST(EarlyBound, SharingErrorsReachTheClient) {
  Ptr<_clsStringList> list;
  create(list);
  init(list.get(), "sharing-errors.log");
  SAFEARRAYBOUND bound{2, 0};
  SAFEARRAY* longs = SafeArrayCreate(VT_I4, 1, &bound);
  Address address = reinterpret_cast<Address>(&longs);
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(list->AssignStringList(&address), static_cast<HRESULT>(-1));
  Ptr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  BSTR description = nullptr;
  info->GetDescription(&description);
  const std::wstring text = description;
  SysFreeString(description);
  EXPECT_EQ(
      text.rfind(L"Non string array descriptor passed to AssignStringList\r\nRaised at line ", 0),
      0u);
  EXPECT_NE(
      text.find(L"in in Corvane.modArrayUtils.CopyOfStringArrayDescriptor1D.\r\nRaised at line "),
      std::wstring::npos);
  SafeArrayDestroy(longs);

  Address unreadable = 1;
  EXPECT_EQ(list->AssignStringList(&unreadable), static_cast<HRESULT>(-1));
  Address nothing = 0;
  EXPECT_EQ(list->AssignStringList(&nothing), S_OK);
  EXPECT_EQ(list->AssignStringList(nullptr), E_POINTER);
  EXPECT_EQ(list->get_ppStringListDescriptor(nullptr), E_POINTER);
}

// Late-bound calls, with by-reference arguments as a compiled VB client passes them.
class LateBound : public ::testing::Test {
 protected:
  void SetUp() override {
    create(list_);
    log_ = init(list_.get(), "late.log");
    ASSERT_EQ(list_->QueryInterface(IID_IDispatch, dispatch_.put_void()), S_OK);
  }
  DISPID id(const wchar_t* name) {
    DISPID result = DISPID_UNKNOWN;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &result), S_OK)
        << name;
    return result;
  }
  // Arguments in call order (reversed into rgvarg here). The call gets
  // copies of its arguments, which it clears afterwards: the dispatcher may
  // write a by-reference parameter's value back into an argument given by
  // value, and the caller's own VARIANTs stay the caller's to clear. A
  // by-reference argument is copied as the reference.
  HRESULT call(DISPID member, WORD flags, const std::vector<VARIANT>& args,
               VARIANT* result = nullptr, EXCEPINFO* exception = nullptr) {
    std::vector<VARIANT> reversed(args.size());
    for (std::size_t k = 0; k < args.size(); ++k) {
      VariantInit(&reversed[k]);
      EXPECT_EQ(VariantCopy(&reversed[k], const_cast<VARIANT*>(&args[args.size() - 1 - k])), S_OK);
    }
    DISPID put_id = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(),
                      (flags & DISPATCH_PROPERTYPUT) ? &put_id : nullptr,
                      static_cast<UINT>(reversed.size()), (flags & DISPATCH_PROPERTYPUT) ? 1u : 0u};
    EXCEPINFO local{};
    UINT arg_error = 0;
    const HRESULT hr =
        dispatch_->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                          exception != nullptr ? exception : &local, &arg_error);
    for (VARIANT& v : reversed) VariantClear(&v);
    return hr;
  }
  // The list put late-bound, as a VARIANT holding a string array.
  HRESULT put_list(LONG lower, std::vector<std::wstring> items) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_ARRAY | VT_BSTR;
    value.parray = strings(lower, std::move(items));
    const HRESULT hr = call(id(L"StringList"), DISPATCH_PROPERTYPUT, {value});
    VariantClear(&value);
    return hr;
  }
  std::vector<std::wstring> list_contents() {
    VARIANT back;
    VariantInit(&back);
    EXPECT_EQ(call(id(L"StringList"), DISPATCH_PROPERTYGET, {}, &back), S_OK);
    EXPECT_EQ(back.vt, VT_ARRAY | VT_BSTR);
    auto items = contents(back.parray);
    VariantClear(&back);
    return items;
  }

  Ptr<_clsStringList> list_;
  Ptr<IDispatch> dispatch_;
  std::filesystem::path log_;
};

TEST_F(LateBound, NamesGiveTheBindingDispids) {
  const std::pair<const wchar_t*, DISPID> expected[] = {
      {L"lfnMatchingPrefixLocation", 0x60030002},
      {L"lfnFirstMatchingPrefix", 0x60030003},
      {L"lfnMatch", 0x60030004},
      {L"StringList", 0x68030001},
      {L"TransferVBListBoxToStringList", 0x60030008},
      {L"Init", 0x60030009},
      {L"ReplaceString", 0x6003000A},
      {L"AssignStringList", 0x6003000B},
      {L"ppStringListDescriptor", 0x68030000},
      {L"lfnMatchingPrefixLocationServerChange", 0x6003000C},
      {L"bfnDescriptionContainsCode", 0x60030013},
      {L"replacestring", 0x6003000A},  // names are not case-sensitive
  };
  for (const auto& [name, dispid] : expected) EXPECT_EQ(id(name), dispid) << name;
  DISPID unknown = 0;
  LPOLESTR n = const_cast<LPOLESTR>(L"NoSuchMember");
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, &n, 1, 0, &unknown), DISP_E_UNKNOWNNAME);

  UINT count = 0;
  EXPECT_EQ(dispatch_->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  Ptr<ITypeInfo> info;
  ASSERT_EQ(dispatch_->GetTypeInfo(0, 0, info.put()), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualIID(attributes->guid, IID__clsStringList));
  EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
  info->ReleaseTypeAttr(attributes);
}

TEST_F(LateBound, ByReferenceArgumentsAsCompiledClientsPassThem) {
  ASSERT_EQ(put_list(0, {L"one", L"two"}), S_OK);
  EXPECT_EQ(list_contents(), (std::vector<std::wstring>{L"one", L"two"}));

  LONG index = 1;
  BSTR text = SysAllocString(L"TWO");
  VARIANT by_index, by_text;
  VariantInit(&by_index);
  VariantInit(&by_text);
  by_index.vt = VT_BYREF | VT_I4;
  by_index.plVal = &index;
  by_text.vt = VT_BYREF | VT_BSTR;
  by_text.pbstrVal = &text;
  EXPECT_EQ(call(id(L"ReplaceString"), DISPATCH_METHOD, {by_index, by_text}), S_OK);
  SysFreeString(text);
  EXPECT_EQ(list_contents(), (std::vector<std::wstring>{L"one", L"TWO"}));

  // By value works too: the dispatcher converts.
  VARIANT zero, word;
  VariantInit(&zero);
  VariantInit(&word);
  zero.vt = VT_I2;
  zero.iVal = 0;
  word.vt = VT_BSTR;
  word.bstrVal = SysAllocString(L"ONE");
  EXPECT_EQ(call(0x6003000A, DISPATCH_METHOD, {zero, word}), S_OK);
  VariantClear(&word);
  EXPECT_EQ(list_contents(), (std::vector<std::wstring>{L"ONE", L"TWO"}));
}

TEST_F(LateBound, ScriptVariablesByReferenceVariant) {
  ASSERT_EQ(put_list(0, {L"one", L"two"}), S_OK);

  // A script's variables: a small integer and a string, each passed as a
  // by-reference VARIANT.
  VARIANT index_variable, text_variable;
  VariantInit(&index_variable);
  VariantInit(&text_variable);
  index_variable.vt = VT_I2;
  index_variable.iVal = 1;
  text_variable.vt = VT_BSTR;
  text_variable.bstrVal = SysAllocString(L"from script");
  VARIANT by_ref_index, by_ref_text;
  VariantInit(&by_ref_index);
  VariantInit(&by_ref_text);
  by_ref_index.vt = VT_BYREF | VT_VARIANT;
  by_ref_index.pvarVal = &index_variable;
  by_ref_text.vt = VT_BYREF | VT_VARIANT;
  by_ref_text.pvarVal = &text_variable;
  EXPECT_EQ(call(id(L"ReplaceString"), DISPATCH_METHOD, {by_ref_index, by_ref_text}), S_OK);
  EXPECT_EQ(list_contents(), (std::vector<std::wstring>{L"one", L"from script"}));
  EXPECT_EQ(index_variable.vt, VT_I2);  // the script's variable keeps its type
  EXPECT_EQ(text_variable.vt, VT_BSTR);
  VariantClear(&text_variable);
}

TEST_F(LateBound, LookupsWithOptionalArgumentsAndWriteBack) {
  ASSERT_EQ(put_list(1, {L"10", L"20", L"Red Apple (123)"}), S_OK);

  // lfnMatch with the optional argument omitted, and with it given.
  VARIANT target, flag, result;
  VariantInit(&target);
  VariantInit(&flag);
  VariantInit(&result);
  target.vt = VT_BSTR;
  target.bstrVal = SysAllocString(L"20");
  ASSERT_EQ(call(id(L"lfnMatch"), DISPATCH_METHOD, {target}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 2);  // the list's own numbering
  flag.vt = VT_BOOL;
  flag.boolVal = VARIANT_TRUE;
  SysFreeString(target.bstrVal);
  target.bstrVal = SysAllocString(L"20.4");
  ASSERT_EQ(call(id(L"lfnMatch"), DISPATCH_METHOD, {target, flag}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 2);
  VariantClear(&target);

  // The description search through a by-reference string: the variable
  // receives the stored entry.
  BSTR text = SysAllocString(L"red apple");
  LONG compare_type = 0;
  VARIANT by_text, by_compare;
  VariantInit(&by_text);
  VariantInit(&by_compare);
  by_text.vt = VT_BYREF | VT_BSTR;
  by_text.pbstrVal = &text;
  by_compare.vt = VT_BYREF | VT_I4;
  by_compare.plVal = &compare_type;
  // Index 0 lies below the lower bound 1: the search fails into its trap.
  ASSERT_EQ(call(id(L"lfnMatchingPrefixLocationServerChange"), DISPATCH_METHOD,
                 {by_text, by_compare}, &result),
            S_OK);
  EXPECT_EQ(result.lVal, -1);
  ASSERT_EQ(put_list(0, {L"10", L"20", L"Red Apple (123)"}), S_OK);
  ASSERT_EQ(call(id(L"lfnMatchingPrefixLocationServerChange"), DISPATCH_METHOD,
                 {by_text, by_compare}, &result),
            S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 2);
  EXPECT_STREQ(text, L"Red Apple (123)");

  // A script's variable gets the entry too.
  VARIANT variable;
  VariantInit(&variable);
  variable.vt = VT_BSTR;
  variable.bstrVal = SysAllocString(L"RED APPLE");
  VARIANT by_variable;
  VariantInit(&by_variable);
  by_variable.vt = VT_BYREF | VT_VARIANT;
  by_variable.pvarVal = &variable;
  ASSERT_EQ(call(id(L"lfnMatchingPrefixLocationServerChange"), DISPATCH_METHOD,
                 {by_variable, by_compare}, &result),
            S_OK);
  EXPECT_EQ(result.lVal, 2);
  EXPECT_EQ(variable.vt, VT_BSTR);
  EXPECT_STREQ(variable.bstrVal, L"Red Apple (123)");
  VariantClear(&variable);
  SysFreeString(text);

  VARIANT prefix, compare;
  VariantInit(&prefix);
  VariantInit(&compare);
  prefix.vt = VT_BSTR;
  prefix.bstrVal = SysAllocString(L"2");
  compare.vt = VT_I4;
  compare.lVal = 1;
  ASSERT_EQ(call(id(L"lfnFirstMatchingPrefix"), DISPATCH_METHOD, {prefix}, &result), S_OK);
  EXPECT_EQ(result.lVal, 1);
  ASSERT_EQ(call(id(L"lfnMatchingPrefixLocation"), DISPATCH_METHOD, {prefix, compare}, &result),
            S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 1);
  VariantClear(&prefix);
}

// A string given by value for a by-reference parameter, once with the
// trailing optional argument left out (the arguments are then adapted before
// the dispatcher sees them) and once with it given: the caller's argument
// comes back alike both times, as the dispatcher left it, and is the
// caller's to clear.
TEST_F(LateBound, AValueForAByReferenceParameterComesBackAsTheDispatcherLeftIt) {
  ASSERT_EQ(put_list(0, {L"10", L"20", L"Red Apple (123)"}), S_OK);
  struct Outcome {
    VARTYPE vt;
    bool same_string;
    std::wstring text;
    bool operator==(const Outcome&) const = default;
  };
  auto server_change = [&](bool with_optional) {
    BSTR given = SysAllocString(L"red apple");
    VARIANT args[3];  // reversed: the optional flag, the compare type, the text
    for (VARIANT& a : args) VariantInit(&a);
    args[0].vt = VT_BOOL;
    args[0].boolVal = VARIANT_FALSE;
    args[1].vt = VT_I4;
    args[1].lVal = 0;
    args[2].vt = VT_BSTR;
    args[2].bstrVal = given;
    DISPPARAMS params{with_optional ? args : args + 1, nullptr, with_optional ? 3u : 2u, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT arg_error = 0;
    EXPECT_EQ(dispatch_->Invoke(id(L"lfnMatchingPrefixLocationServerChange"), IID_NULL,
                                LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &exception,
                                &arg_error),
              S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 2);
    const Outcome outcome{args[2].vt, args[2].vt == VT_BSTR && args[2].bstrVal == given,
                          args[2].vt == VT_BSTR && args[2].bstrVal != nullptr
                              ? std::wstring(args[2].bstrVal)
                              : std::wstring()};
    for (VARIANT& a : args) VariantClear(&a);
    return outcome;
  };
  const Outcome given_all = server_change(true);
  const Outcome optional_left_out = server_change(false);
  EXPECT_TRUE(given_all == optional_left_out)
      << "with every argument: vt " << given_all.vt << ", same string " << given_all.same_string
      << "; with the optional one left out: vt " << optional_left_out.vt << ", same string "
      << optional_left_out.same_string;
}

TEST_F(LateBound, RaisedErrorArrivesInExcepinfo) {
  VARIANT empty;
  VariantInit(&empty);
  empty.vt = VT_BSTR;
  empty.bstrVal = SysAllocString(L"");
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception{};
  EXPECT_EQ(call(id(L"bfnDescriptionContainsCode"), DISPATCH_METHOD, {empty}, &result, &exception),
            DISP_E_EXCEPTION);
  VariantClear(&empty);
  EXPECT_EQ(exception.scode, static_cast<SCODE>(0x800A0005));
  ASSERT_NE(exception.bstrDescription, nullptr);
  EXPECT_EQ(std::wstring(exception.bstrDescription).rfind(L"Invalid procedure call or argument", 0),
            0u);
  EXPECT_STREQ(exception.bstrSource, L"CorvaneV10.clsStringList");
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrHelpFile);
}

TEST_F(LateBound, WrongArgumentsFailCleanly) {
  VARIANT object;
  VariantInit(&object);
  object.vt = VT_UNKNOWN;
  object.punkVal = nullptr;
  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(L"x");
  EXPECT_EQ(call(id(L"ReplaceString"), DISPATCH_METHOD, {object, text}), DISP_E_TYPEMISMATCH);
  EXPECT_TRUE(FAILED(call(id(L"ReplaceString"), DISPATCH_METHOD, {text})));  // one missing
  EXPECT_EQ(call(0x12345, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);
  VariantClear(&text);
  UINT count = 0;
  EXPECT_EQ(dispatch_->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(dispatch_->Invoke(0x6003000A, IID_IDispatch, 0, DISPATCH_METHOD, nullptr, nullptr,
                              nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  // A put of anything but a string array: the member's own trap, success.
  VARIANT number;
  VariantInit(&number);
  number.vt = VT_R8;
  number.dblVal = 1.5;
  EXPECT_EQ(call(id(L"StringList"), DISPATCH_PROPERTYPUT, {number}), S_OK);
  EXPECT_TRUE(list_contents().empty());
}

// The members' slots, DISPIDs and parameters as the binding contract lists them.
struct MemberContract {
  const wchar_t* name;
  int slot;
  DISPID dispid;
  INVOKEKIND kind;
  std::vector<std::pair<VARTYPE, USHORT>> params;  // pointed-to type (| VT_BYREF) and flags
};

constexpr USHORT kInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
constexpr USHORT kRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
constexpr VARTYPE kAddress = sizeof(void*) == 8 ? VT_I8 : VT_I4;

std::vector<MemberContract> contract() {
  return {
      {L"lfnMatchingPrefixLocation",
       7,
       0x60030002,
       INVOKE_FUNC,
       {{VT_BYREF | VT_BSTR, kInOut}, {VT_BYREF | VT_I4, kInOut}, {VT_BYREF | VT_I4, kRetval}}},
      {L"lfnFirstMatchingPrefix",
       8,
       0x60030003,
       INVOKE_FUNC,
       {{VT_BYREF | VT_BSTR, kInOut}, {VT_BYREF | VT_I4, kRetval}}},
      {L"lfnMatch",
       9,
       0x60030004,
       INVOKE_FUNC,
       {{VT_BYREF | VT_BSTR, kInOut},
        {VT_BYREF | VT_BOOL, kInOut | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT},
        {VT_BYREF | VT_VARIANT, kRetval}}},
      {L"StringList", 10, 0x68030001, INVOKE_PROPERTYGET, {{VT_BYREF | VT_VARIANT, kRetval}}},
      {L"StringList", 11, 0x68030001, INVOKE_PROPERTYPUT, {{VT_VARIANT, PARAMFLAG_FIN}}},
      {L"TransferVBListBoxToStringList",
       12,
       0x60030008,
       INVOKE_FUNC,
       {{VT_BYREF | VT_VARIANT, kInOut}}},
      {L"Init",
       13,
       0x60030009,
       INVOKE_FUNC,
       {{VT_BYREF | VT_BSTR, kInOut},
        {VT_BYREF | VT_BSTR, kInOut},
        {VT_BYREF | VT_BSTR, kInOut},
        {VT_BYREF | VT_I4, kInOut}}},
      {L"ReplaceString",
       14,
       0x6003000A,
       INVOKE_FUNC,
       {{VT_BYREF | VT_I4, kInOut}, {VT_BYREF | VT_BSTR, kInOut}}},
      {L"AssignStringList", 15, 0x6003000B, INVOKE_FUNC, {{VT_BYREF | kAddress, kInOut}}},
      {L"ppStringListDescriptor",
       16,
       0x68030000,
       INVOKE_PROPERTYGET,
       {{VT_BYREF | kAddress, kRetval}}},
      {L"lfnMatchingPrefixLocationServerChange",
       17,
       0x6003000C,
       INVOKE_FUNC,
       {{VT_BYREF | VT_BSTR, kInOut},
        {VT_BYREF | VT_I4, kInOut},
        {VT_BYREF | VT_BOOL, kInOut | PARAMFLAG_FOPT},
        {VT_BYREF | VT_I4, kRetval}}},
      {L"bfnDescriptionContainsCode",
       18,
       0x60030013,
       INVOKE_FUNC,
       {{VT_BYREF | VT_BSTR, kInOut}, {VT_BYREF | VT_BOOL, kRetval}}},
  };
}

class TypeLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dll_path().empty()) << "CORVANE_DLL is not set";
    ASSERT_EQ(LoadTypeLibEx(dll_path().c_str(), REGKIND_NONE, library_.put()), S_OK);
  }
  Ptr<ITypeLib> library_;
};

TEST_F(TypeLibrary, LibraryInterfaceClassAndAlias) {
  TLIBATTR* lib = nullptr;
  ASSERT_EQ(library_->GetLibAttr(&lib), S_OK);
  EXPECT_TRUE(IsEqualGUID(lib->guid, LIBID_CorvaneV10));
  EXPECT_EQ(lib->wMajorVerNum, 4);
  EXPECT_EQ(lib->wMinorVerNum, 1);
  library_->ReleaseTLibAttr(lib);
  BSTR name = nullptr;
  ASSERT_EQ(library_->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name, L"CorvaneV10");
  SysFreeString(name);

  Ptr<ITypeInfo> dispatch;
  ASSERT_EQ(library_->GetTypeInfoOfGuid(IID__clsStringList, dispatch.put()), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(dispatch->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->wMajorVerNum, 1);
  EXPECT_EQ(attributes->wMinorVerNum, 1);
  const WORD wanted =
      TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
  EXPECT_EQ(attributes->wTypeFlags & wanted, wanted);
  dispatch->ReleaseTypeAttr(attributes);
  // The vtable view carries the automation-compatible flag.
  HREFTYPE ref = 0;
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
  Ptr<ITypeInfo> vtable;
  ASSERT_EQ(dispatch->GetRefTypeInfo(ref, vtable.put()), S_OK);
  ASSERT_EQ(vtable->GetTypeAttr(&attributes), S_OK);
  EXPECT_NE(attributes->wTypeFlags & TYPEFLAG_FOLEAUTOMATION, 0);
  EXPECT_NE(attributes->wTypeFlags & TYPEFLAG_FDUAL, 0);
  vtable->ReleaseTypeAttr(attributes);

  Ptr<ITypeInfo> coclass;
  ASSERT_EQ(library_->GetTypeInfoOfGuid(CLSID_clsStringList, coclass.put()), S_OK);
  ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
  EXPECT_EQ(attributes->wMajorVerNum, 1);
  EXPECT_EQ(attributes->wMinorVerNum, 1);
  EXPECT_NE(attributes->wTypeFlags & TYPEFLAG_FCANCREATE, 0);
  coclass->ReleaseTypeAttr(attributes);
  INT impl_flags = 0;
  ASSERT_EQ(coclass->GetImplTypeFlags(0, &impl_flags), S_OK);
  EXPECT_NE(impl_flags & IMPLTYPEFLAG_FDEFAULT, 0);
  ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name, L"clsStringList");
  SysFreeString(name);

  Ptr<ITypeInfo> alias;
  ASSERT_EQ(library_->GetTypeInfoOfGuid(kIID_v0, alias.put()), S_OK);
  ASSERT_EQ(alias->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_ALIAS);
  EXPECT_EQ(attributes->wMajorVerNum, 1);
  EXPECT_EQ(attributes->wMinorVerNum, 0);
  EXPECT_NE(attributes->wTypeFlags & TYPEFLAG_FHIDDEN, 0);
  ASSERT_EQ(attributes->tdescAlias.vt, VT_USERDEFINED);
  Ptr<ITypeInfo> aliased;
  ASSERT_EQ(alias->GetRefTypeInfo(attributes->tdescAlias.hreftype, aliased.put()), S_OK);
  alias->ReleaseTypeAttr(attributes);
  ASSERT_EQ(aliased->GetTypeAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, IID__clsStringList));
  aliased->ReleaseTypeAttr(attributes);
  ASSERT_EQ(alias->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name, L"clsStringList___v0");
  SysFreeString(name);
}

TEST_F(TypeLibrary, MembersKeepTheirSlotsDispidsAndParameters) {
  Ptr<ITypeInfo> dispatch;
  ASSERT_EQ(library_->GetTypeInfoOfGuid(IID__clsStringList, dispatch.put()), S_OK);
  HREFTYPE ref = 0;
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
  Ptr<ITypeInfo> vtable;
  ASSERT_EQ(dispatch->GetRefTypeInfo(ref, vtable.put()), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(vtable->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
  EXPECT_EQ(attributes->cFuncs, 12);
  EXPECT_EQ(attributes->cbSizeVft, 19 * sizeof(void*));
  vtable->ReleaseTypeAttr(attributes);

  const auto members = contract();
  for (UINT i = 0; i < members.size(); ++i) {
    FUNCDESC* f = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(i, &f), S_OK);
    const MemberContract& m = members[i];
    BSTR name = nullptr;
    vtable->GetDocumentation(f->memid, &name, nullptr, nullptr, nullptr);
    EXPECT_STREQ(name, m.name);
    SysFreeString(name);
    EXPECT_EQ(f->oVft, m.slot * static_cast<int>(sizeof(void*))) << i;
    EXPECT_EQ(f->memid, m.dispid) << i;
    EXPECT_EQ(f->invkind, m.kind) << i;
    EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT) << i;
    ASSERT_EQ(f->cParams, static_cast<SHORT>(m.params.size())) << i;
    for (SHORT p = 0; p < f->cParams; ++p) {
      const TYPEDESC& t = f->lprgelemdescParam[p].tdesc;
      const VARTYPE vt = t.vt == VT_PTR ? static_cast<VARTYPE>(VT_BYREF | t.lptdesc->vt) : t.vt;
      EXPECT_EQ(vt, m.params[p].first) << i << " parameter " << p;
      EXPECT_EQ(f->lprgelemdescParam[p].paramdesc.wParamFlags, m.params[p].second)
          << i << " parameter " << p;
    }
    if (i == 2) {  // lfnMatch: bMatchAsLong defaults to False
      const PARAMDESC& d = f->lprgelemdescParam[1].paramdesc;
      ASSERT_NE(d.pparamdescex, nullptr);
      EXPECT_EQ(V_VT(&d.pparamdescex->varDefaultValue), VT_BOOL);
      EXPECT_EQ(V_BOOL(&d.pparamdescex->varDefaultValue), VARIANT_FALSE);
    }
    vtable->ReleaseFuncDesc(f);
  }
}

// DISPPARAMS that no client can mean are refused before the dispatcher
// reads them: counts without their arrays, more names than arguments, a
// by-reference argument without its storage. A by-reference VARIANT that
// refers to itself ends as a type mismatch instead of a loop.
TEST_F(LateBound, MalformedArgumentsAreRefused) {
  const DISPID replace = id(L"ReplaceString");
  DISPPARAMS counted_only{nullptr, nullptr, 2, 0};
  EXCEPINFO exception{};
  UINT arg_error = 99;
  EXPECT_EQ(dispatch_->Invoke(replace, IID_NULL, 0, DISPATCH_METHOD, &counted_only, nullptr,
                              &exception, &arg_error),
            E_INVALIDARG);
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[0].vt = VT_I4;
  args[1].vt = VT_I4;
  DISPID names[3] = {0, 1, 2};
  DISPPARAMS too_many_names{args, names, 2, 3};
  EXPECT_EQ(dispatch_->Invoke(replace, IID_NULL, 0, DISPATCH_METHOD, &too_many_names, nullptr,
                              &exception, &arg_error),
            E_INVALIDARG);
  DISPPARAMS names_missing{args, nullptr, 2, 1};
  EXPECT_EQ(dispatch_->Invoke(replace, IID_NULL, 0, DISPATCH_METHOD, &names_missing, nullptr,
                              &exception, &arg_error),
            E_INVALIDARG);

  // A by-reference string without storage, directly and behind a VARIANT.
  VARIANT empty_string;
  VariantInit(&empty_string);
  empty_string.vt = VT_BYREF | VT_BSTR;
  empty_string.pbstrVal = nullptr;
  args[0] = empty_string;  // sReplacementString (arguments are in reverse order)
  args[1].vt = VT_I4;
  args[1].lVal = 0;
  DISPPARAMS null_reference{args, nullptr, 2, 0};
  EXPECT_EQ(dispatch_->Invoke(replace, IID_NULL, 0, DISPATCH_METHOD, &null_reference, nullptr,
                              &exception, &arg_error),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_error, 0u);
  args[0].vt = VT_BYREF | VT_VARIANT;
  args[0].pvarVal = &empty_string;
  EXPECT_EQ(dispatch_->Invoke(replace, IID_NULL, 0, DISPATCH_METHOD, &null_reference, nullptr,
                              &exception, &arg_error),
            DISP_E_TYPEMISMATCH);

  // A VARIANT that refers to itself, late- and early-bound.
  VARIANT self;
  self.vt = VT_BYREF | VT_VARIANT;
  self.pvarVal = &self;
  args[0] = self;
  args[0].pvarVal = &self;
  const HRESULT looped = dispatch_->Invoke(replace, IID_NULL, 0, DISPATCH_METHOD, &null_reference,
                                           nullptr, &exception, &arg_error);
  EXPECT_TRUE(looped == DISP_E_TYPEMISMATCH || looped == E_INVALIDARG) << std::hex << looped;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_ARRAY | VT_BSTR;
  value.parray = strings(0, {L"kept"});
  ASSERT_EQ(list_->put_StringList(value), S_OK);
  VariantClear(&value);
  EXPECT_EQ(list_->put_StringList(self), S_OK);  // no String(): the list is emptied
  EXPECT_TRUE(list_contents().empty());
  Ptr<IDispatch> box;
  VARIANT control = self;
  EXPECT_EQ(list_->TransferVBListBoxToStringList(&control), S_OK);  // no list box
}

TEST(Resources, InterfaceListAndVersion) {
  HMODULE module = LoadLibraryExW(dll_path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceW(module, L"_IID_CLSSTRINGLIST", L"CUSTOM");
  ASSERT_NE(found, nullptr);
  ASSERT_EQ(SizeofResource(module, found), 36u);
  const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
  DWORD count = 0;
  std::memcpy(&count, bytes, 4);
  EXPECT_EQ(count, 32u);
  GUID first{}, second{};
  std::memcpy(&first, bytes + 4, 16);
  std::memcpy(&second, bytes + 20, 16);
  EXPECT_TRUE(IsEqualGUID(first, kIID_v0));
  EXPECT_TRUE(IsEqualGUID(second, IID__clsStringList));
  EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), L"TYPELIB"), nullptr);
  FreeLibrary(module);

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(dll_path().c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(dll_path().c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(1, 4));
}

using Entry = HRESULT(STDAPICALLTYPE*)();

// One of the DLL's exports.
Entry export_of(HMODULE module, const char* name) {
  return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool key_exists(const std::wstring& key) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

std::wstring value_of(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[512] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return L"<missing>";
  }
  return data;
}

TEST(Registration, RegisterWritesAndUnregisterRemovesExactlyTheKeys) {
  HMODULE module = LoadLibraryW(dll_path().c_str());
  ASSERT_NE(module, nullptr);
  Entry unregister = export_of(module, "DllUnregisterServer");
  Entry reregister = export_of(module, "DllRegisterServer");
  ASSERT_NE(unregister, nullptr);
  ASSERT_NE(reregister, nullptr);

  const std::wstring cls = L"CLSID\\{4C80A6D8-AE04-4B5F-A6BD-281875877CCF}";
  const std::wstring keys[] = {cls, L"CorvaneV10.clsStringList",
                               L"TypeLib\\{489EA435-6CD9-4820-986B-7CBA9CC7E606}",
                               L"Interface\\{6E971FC3-B191-4FA0-A578-72A13975EBB7}",
                               L"Interface\\{6EC7F1C7-4D11-4436-91C7-AE494CBA446B}"};
  ASSERT_EQ(unregister(), S_OK);
  for (const auto& key : keys) EXPECT_FALSE(key_exists(key)) << std::string(key.begin(), key.end());

  ASSERT_EQ(reregister(), S_OK);
  for (const auto& key : keys) EXPECT_TRUE(key_exists(key)) << std::string(key.begin(), key.end());
  EXPECT_EQ(value_of(cls + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(_wcsicmp(value_of(cls + L"\\InprocServer32").c_str(), dll_path().c_str()), 0);
  EXPECT_EQ(value_of(cls + L"\\ProgID"), L"CorvaneV10.clsStringList");
  EXPECT_EQ(value_of(L"CorvaneV10.clsStringList\\CLSID"),
            L"{4C80A6D8-AE04-4B5F-A6BD-281875877CCF}");
  EXPECT_EQ(value_of(L"CorvaneV10.clsStringList\\CurVer"), L"CorvaneV10.clsStringList");
  EXPECT_EQ(value_of(L"Interface\\{6EC7F1C7-4D11-4436-91C7-AE494CBA446B}\\Forward"),
            L"{6E971FC3-B191-4FA0-A578-72A13975EBB7}");
  EXPECT_TRUE(key_exists(L"TypeLib\\{489EA435-6CD9-4820-986B-7CBA9CC7E606}\\4.1"));
  FreeLibrary(module);
}

TEST(Lifetime, TheDllUnloadsWhenTheLastObjectAndLockGo) {
  CoFreeUnusedLibrariesEx(0, 0);
  Ptr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_clsStringList, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.put_void()),
            S_OK);
  HMODULE module = GetModuleHandleW(L"Corvane.dll");
  ASSERT_NE(module, nullptr);
  Entry can_unload = export_of(module, "DllCanUnloadNow");
  ASSERT_NE(can_unload, nullptr);

  EXPECT_EQ(can_unload(), S_FALSE);  // the factory is held
  Ptr<_clsStringList> list;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID__clsStringList, list.put_void()), S_OK);
  init(list.get(), "lifetime.log");  // fills the apartment's values
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  EXPECT_EQ(can_unload(), S_FALSE);  // the object and the lock
  list.reset();
  EXPECT_EQ(can_unload(), S_FALSE);  // the lock
  ASSERT_EQ(CoGetClassObject(CLSID_clsStringList, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.put_void()),
            S_OK);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  factory.reset();
  EXPECT_EQ(can_unload(), S_OK);

  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(GetModuleHandleW(L"Corvane.dll"), nullptr);
  // Loaded again, it works as before.
  create(list);
  const auto log = init(list.get(), "reloaded.log");
  LONG index = 0;
  OwnedBstr text(L"x");
  EXPECT_EQ(list->ReplaceString(&index, &text.b), S_OK);
  EXPECT_NE(read_file(log).find("No strings in StringList"), std::string::npos);
}

// A file's whole text against a layout in which {STAMP} is a log time stamp,
// {DATE} the errors file's date and time, {N} a number, and everything else
// literal.
void expect_layout(const std::filesystem::path& file, const std::string& layout) {
  static const std::regex placeholder(R"(\{(STAMP|DATE|N)\})");
  static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
  std::string pattern;
  std::size_t at = 0;
  for (std::sregex_iterator m(layout.begin(), layout.end(), placeholder), end; m != end; ++m) {
    pattern += std::regex_replace(layout.substr(at, m->position() - at), special, R"(\$&)");
    const std::string name = (*m)[1];
    pattern += name == "STAMP"  ? R"(\d\d-\d\d-\d\d \d\d:\d\d:\d\d\.\d\d\d)"
               : name == "DATE" ? R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d)"
                                : R"(\d+)";
    at = m->position() + m->length();
  }
  pattern += std::regex_replace(layout.substr(at), special, R"(\$&)");
  const std::string text = read_file(file);
  EXPECT_TRUE(std::regex_match(text, std::regex(pattern))) << file << ":\n" << text;
}

// A client's failed lookup and bad property put, as every log of the suite
// records them.
TEST(ErrorPath, ALookupOnAnEmptyListAndANumberPutAsTheList) {
  Ptr<_clsStringList> list;
  create(list);
  const auto folder = temp_file("error-path");
  std::filesystem::create_directories(folder);
  const std::string dir = folder.string();
  OwnedBstr detail((folder / "detail.log").wstring().c_str());
  OwnedBstr summary((folder / "summary.log").wstring().c_str());
  OwnedBstr log_folder(folder.wstring().c_str());
  LONG level = 2;
  ASSERT_EQ(list->Init(&detail.b, &summary.b, &log_folder.b, &level), S_OK);

  OwnedBstr target(L"a");
  VARIANT found;
  VariantInit(&found);
  ASSERT_EQ(list->lfnMatch(&target.b, nullptr, &found), S_OK);
  EXPECT_EQ(found.lVal, -1);
  VARIANT number;
  VariantInit(&number);
  number.vt = VT_I4;
  number.lVal = 3;
  ASSERT_EQ(list->put_StringList(number), S_OK);  // the box is suppressed by the flag file

  const std::string logged = "Error 9 retrieving lBound of StringList:\r\nSubscript out of range";
  const std::string box =
      "MSGBOX: Error -1: Unexpected parameter passed to StringList property\r\n"
      "\t\t\tin Corvane.clsStringList.StringList.\r\n\t\t\tThe error occured at line: {N}";
  expect_layout(folder / "detail.log",
                "{STAMP}\tCorvane\tmodVBTrace.GlobalErrorsLog: GlobalErrorsLog >>> "
                "clsStringList.lfnMatchLong\t" +
                    logged +
                    "\tSeverity: 2\r\n"
                    "{STAMP}\tCorvane\tmodVBTrace.WriteErrorNode: Attempting to open: " +
                    dir +
                    "\\detailErrors.log\r\n"
                    "{STAMP}\t" +
                    box +
                    "\r\n"
                    "{STAMP}\tUser clicked: OK\r\n");
  expect_layout(folder / "summary.log", "\r\n{STAMP}\tCorvane\tclsStringList.lfnMatchLong: \t" +
                                            logged +
                                            "\r\n"
                                            "\r\n{STAMP}\t" +
                                            box +
                                            "\r\n"
                                            "\r\n{STAMP}\tUser clicked: OK\r\n");
  expect_layout(folder / "PossibleErrors.log", "\r\n{STAMP}\tMsgbox in " + dir +
                                                   "\\detail.log\r\n"
                                                   "{STAMP}\t" +
                                                   box +
                                                   "\r\n"
                                                   "\r\n{STAMP}\tMsgbox in " +
                                                   dir +
                                                   "\\detail.log\r\n"
                                                   "{STAMP}\tUser clicked: OK\r\n");
  expect_layout(folder / "Session.ini", "[SessionStats]\r\nSeverity3Count=1\r\n");
  const std::string record_end = "        <count>1</count>\r\n    </error>\r\n";
  expect_layout(folder / "detailErrors.log",
                "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n<Errors>\r\n"
                "    <error>\r\n"
                "        <firstOccurrence>{DATE}</firstOccurrence>\r\n"
                "        <severity>2</severity>\r\n"
                "        <displayedToUser>N</displayedToUser>\r\n"
                "        <errorNumber>9</errorNumber>\r\n"
                "        <errorDescription>Error 9 retrieving lBound of StringList:\tSubscript out "
                "of range</errorDescription>\r\n"
                "        <component>Corvane</component>\r\n"
                "        <module>*</module>\r\n"
                "        <member>Unknown</member>\r\n"
                "        <lineNumber>0</lineNumber>\r\n" +
                    record_end +
                    "    <error>\r\n"
                    "        <firstOccurrence>{DATE}</firstOccurrence>\r\n"
                    "        <severity>3</severity>\r\n"
                    "        <displayedToUser>Y</displayedToUser>\r\n"
                    "        <errorNumber/>\r\n"
                    "        <errorDescription>Error -1: Unexpected parameter passed to StringList "
                    "property\tin Corvane.clsStringList.StringList.\tThe error occured at line: {N}"
                    "</errorDescription>\r\n"
                    "        <component>Corvane</component>\r\n"
                    "        <module/>\r\n"
                    "        <member/>\r\n"
                    "        <lineNumber/>\r\n" +
                    record_end);
}

// The debugger object of the suite, created by programmatic identifier and
// called by name (the registered stand-in records the calls beside itself).
TEST(DebuggerObject, CreatedAndCalledByName) {
  const std::filesystem::path stand_ins =
      std::filesystem::path(dll_path()).parent_path() / "clsDebug.calls";
  std::filesystem::remove(stand_ins);
  corvane::modVBTrace::module_values().process_name = std::wstring(L"Corvane");
  EXPECT_TRUE(corvane::modVBTrace::DebuggerObjectInitialized());
  // The hang-dump request hands over the caller's variables themselves.
  corvane::platform::AutomationObjects::system().call(
      corvane::modVBTrace::module_values().debugger_object, L"DoHangDumpIfNecessary",
      {L" 91", L"m.r"}, corvane::platform::AutomationObjects::Passing::kByReference);
  EXPECT_EQ(read_file(stand_ins),
            "Init Corvane\nParseErrorsToDiagnose\nDoHangDumpIfNecessary & 91 &m.r\n");
  std::filesystem::remove(stand_ins);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
