// A compiled client of Corvane.dll through the real COM boundary, for what
// the class's own logic (tested natively) cannot show: creation and
// interfaces, argument adaptation early- and late-bound, by-reference
// parameters, error information, the type library, resources, registration,
// object lifetime and apartments. The DLL is registered in the test's wine
// prefix before this runs; CORVANE_DLL names it.
#include <gtest/gtest.h>
#include <oaidl.h>
#include <ole2.h>
#include <oleauto.h>
#include <psapi.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "CorvaneV10.h"
#include "platform/automation_objects.h"
#include "trace/crash_handling.h"
#include "trace/module_values.h"

namespace {

using Microsoft::WRL::ComPtr;
using List = std::vector<std::wstring>;

// {6EC7F1C7-4D11-4436-91C7-AE494CBA446B}
constexpr IID kIID_v0 = {
    0x6EC7F1C7, 0x4D11, 0x4436, {0x91, 0xC7, 0xAE, 0x49, 0x4C, 0xBA, 0x44, 0x6B}};
#ifdef _WIN64
using Address = hyper;
constexpr VARTYPE kAddress = VT_I8;
#else
using Address = LONG;
constexpr VARTYPE kAddress = VT_I4;
#endif

struct Bstr {
  explicit Bstr(const wchar_t* text = nullptr) : b(text ? SysAllocString(text) : nullptr) {}
  Bstr(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b); }
  std::wstring text() const { return b == nullptr ? L"" : b; }
  BSTR b;
};

// A VARIANT that clears itself: a value it owns, or a reference it does not.
struct Var : VARIANT {
  Var() { VariantInit(this); }
  explicit Var(const wchar_t* text) : Var() { vt = VT_BSTR, bstrVal = SysAllocString(text); }
  Var(VARTYPE type, LONGLONG number) : Var() { vt = type, llVal = number; }
  explicit Var(double number) : Var() { vt = VT_R8, dblVal = number; }
  Var(VARTYPE type, void* target) : Var() { vt = type, byref = target; }
  Var(IUnknown* object, VARTYPE type) : Var() { object->AddRef(), vt = type, punkVal = object; }
  explicit Var(SAFEARRAY* array) : Var() { vt = VT_ARRAY | VT_BSTR, parray = array; }
  Var(const Var&) = delete;
  ~Var() { VariantClear(this); }
};
static_assert(sizeof(Var) == sizeof(VARIANT));

// A VARIANT that refers to itself.
struct Self : Var {
  Self() { vt = VT_BYREF | VT_VARIANT, pvarVal = this; }
};

struct SafeArray {
  SAFEARRAY* a;
  ~SafeArray() { SafeArrayDestroy(a); }
};

// The DLL under test, with Windows folder separators.
std::wstring dll_path() {
  const char* path = std::getenv("CORVANE_DLL");
  std::wstring wide = path == nullptr ? L"" : std::wstring(path, path + std::strlen(path));
  for (wchar_t& c : wide) c = c == L'/' ? L'\\' : c;
  return wide;
}

std::filesystem::path temp_file(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() / "corvane-com-tests";
  std::filesystem::create_directories(dir);
  std::filesystem::remove_all(dir / name);
  return dir / name;
}

std::string read_file(const std::filesystem::path& p) {
  std::ostringstream out;
  out << std::ifstream(p, std::ios::binary).rdbuf();
  return out.str();
}

// A String() array with the given lower bound, as a compiled client builds one.
SAFEARRAY* strings(LONG lower, const List& items) {
  SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), lower};
  SAFEARRAY* a = SafeArrayCreate(VT_BSTR, 1, &bound);
  for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
    LONG index = lower + i;
    SafeArrayPutElement(a, &index, Bstr(items[static_cast<size_t>(i)].c_str()).b);
  }
  return a;
}

List contents(SAFEARRAY* a, LONG* lower = nullptr) {
  List items;
  LONG lo = 0, hi = -1;
  if (a != nullptr) SafeArrayGetLBound(a, 1, &lo), SafeArrayGetUBound(a, 1, &hi);
  if (lower != nullptr) *lower = lo;
  for (LONG i = lo; i <= hi; ++i) {
    Bstr item;
    SafeArrayGetElement(a, &i, &item.b);
    items.push_back(item.text());
  }
  return items;
}

ComPtr<_clsStringList> create() {
  ComPtr<_clsStringList> list;
  EXPECT_EQ(CoCreateInstance(CLSID_clsStringList, nullptr, CLSCTX_INPROC_SERVER, IID__clsStringList,
                             &list),
            S_OK);
  return list;
}

// Init with a fresh detail log (and the given summary log and folder); returns its path.
std::filesystem::path init(_clsStringList* list, const std::string& log_name,
                           const wchar_t* summary = L"", const wchar_t* folder = L"") {
  const auto log = temp_file(log_name);
  Bstr detail(log.wstring().c_str()), summary_log(summary), log_folder(folder);
  LONG level = 2;
  EXPECT_EQ(list->Init(&detail.b, &summary_log.b, &log_folder.b, &level), S_OK);
  return log;
}

void put_list(_clsStringList* list, LONG lower, const List& items) {
  ASSERT_EQ(list->put_StringList(Var(strings(lower, items))), S_OK);
}

List list_of(_clsStringList* list, LONG* lower = nullptr) {
  Var back;
  EXPECT_EQ(list->get_StringList(&back), S_OK);
  EXPECT_EQ(back.vt, VT_ARRAY | VT_BSTR);
  return contents(back.parray, lower);
}

struct Invoked {
  HRESULT hr;
  SCODE scode;
  std::wstring source, description;
};

// A late-bound call of `member`. Without `names`, `args` are in call order
// (reversed into rgvarg); with them, in rgvarg order, named by them. The call
// gets copies of the arguments (a by-reference one is copied as the
// reference): the dispatcher may write into an argument given by value.
DISPID dispid_of(IDispatch* d, const wchar_t* member, HRESULT expected = S_OK,
                 REFIID iid = IID_NULL) {
  LPOLESTR name = const_cast<LPOLESTR>(member);
  DISPID id = DISPID_UNKNOWN;
  EXPECT_EQ(d->GetIDsOfNames(iid, &name, 1, LOCALE_USER_DEFAULT, &id), expected) << member;
  return id;
}

Invoked invoke(IDispatch* d, const wchar_t* member, WORD flags, std::vector<const VARIANT*> args,
               VARIANT* result = nullptr, std::vector<DISPID> names = {}) {
  const DISPID id = dispid_of(d, member);
  if (flags & DISPATCH_PROPERTYPUT) names = {DISPID_PROPERTYPUT};
  std::vector<Var> copies(args.size());
  for (size_t k = 0; k < args.size(); ++k) {
    const VARIANT* given = names.empty() ? args[args.size() - 1 - k] : args[k];
    EXPECT_EQ(VariantCopy(&copies[k], const_cast<VARIANT*>(given)), S_OK);
  }
  DISPPARAMS params{copies.data(), names.data(), static_cast<UINT>(copies.size()),
                    static_cast<UINT>(names.size())};
  EXCEPINFO e{};
  UINT arg_error = 0;
  Invoked out{d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &e, &arg_error),
              e.scode, e.bstrSource ? e.bstrSource : L"",
              e.bstrDescription ? e.bstrDescription : L""};
  SysFreeString(e.bstrSource), SysFreeString(e.bstrDescription), SysFreeString(e.bstrHelpFile);
  return out;
}

TEST(Creation, ByProgIdAndClsidWithEveryInterface) {
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"CorvaneV10.clsStringList", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_clsStringList));
  ComPtr<IUnknown> unknown, other, aggregated;
  ComPtr<ISupportErrorInfo> error_info;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &unknown), S_OK);
  ASSERT_EQ(unknown->QueryInterface(IID_ISupportErrorInfo, &error_info), S_OK);
  // The current and the earlier identity and IDispatch are one interface, with error information
  // for the identities.
  for (const auto& [iid, errors] :
       {std::pair{IID__clsStringList, S_OK}, {kIID_v0, S_OK}, {IID_IDispatch, S_FALSE}}) {
    ComPtr<IUnknown> same;
    ASSERT_EQ(unknown->QueryInterface(iid, &same), S_OK);
    EXPECT_EQ(same.Get(), unknown.Get());
    EXPECT_EQ(error_info->InterfaceSupportsErrorInfo(iid), errors);
  }
  EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
  EXPECT_EQ(CoCreateInstance(clsid, unknown.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown, &aggregated),
            CLASS_E_NOAGGREGATION);
}

// The members' arguments as a compiled client passes them: each of Init's
// files gets its lines (a message box reached through the boundary is
// answered by "NoMsgBox.flg" beside the DLL), bounds kept, a null string read
// as empty, an omitted optional argument as False, the description search
// writing the stored entry back only on a match, and the pointers a member
// needs checked.
TEST(EarlyBound, ArgumentsAndResults) {
  const auto list = create();
  const auto folder = temp_file("logs");
  std::filesystem::create_directories(folder);
  init(list.Get(), "logs/detail.log", (folder / "summary.log").wstring().c_str(),
       folder.wstring().c_str());
  LONG index = 5;
  Bstr band(L"BAND"), ban(L"ban"), coded(L"Red Apple (123)");
  ASSERT_EQ(list->ReplaceString(&index, &band.b), S_OK);   // no list: logged
  ASSERT_EQ(list->put_StringList(Var(VT_I4, 3LL)), S_OK);  // not a list: boxed
  for (const auto& [file, line] : {std::pair{"detail.log", "No strings in StringList"},
                                   {"detail.log", "User clicked: OK"},
                                   {"summary.log", "No strings in StringList"},
                                   {"Session.ini", "Severity3Count=1"}})
    EXPECT_NE(read_file(folder / file).find(line), std::string::npos) << file << line;
  put_list(list.Get(), 5, {L"a", L"b"});
  LONG lower = 0;
  EXPECT_EQ(list_of(list.Get(), &lower), (List{L"a", L"b"}));
  EXPECT_EQ(lower, 5);
  put_list(list.Get(), 0, {L"apple", L"Banana", L"band", L"cherry (42)"});
  VARIANT_BOOL as_long = VARIANT_TRUE, contains = VARIANT_FALSE;
  Var found;
  ASSERT_EQ(list->lfnMatch(&band.b, &as_long, &found), S_OK);
  EXPECT_EQ(found.vt, VT_I2);  // no number: no search
  EXPECT_EQ(found.iVal, -1);
  ASSERT_EQ(list->lfnMatch(&band.b, nullptr, &found), S_OK);  // omitted: as text
  EXPECT_EQ(found.vt, VT_I4);
  EXPECT_EQ(found.lVal, 2);
  LONG compare = 1, location = -9, first = -9;
  ASSERT_EQ(list->lfnMatchingPrefixLocation(&ban.b, &compare, &location), S_OK);
  ASSERT_EQ(list->lfnFirstMatchingPrefix(&ban.b, &first), S_OK);
  EXPECT_EQ(std::pair(location, first), std::pair(1L, 1L));
  ASSERT_EQ(list->bfnDescriptionContainsCode(&coded.b, &contains), S_OK);
  EXPECT_EQ(contains, VARIANT_TRUE);
  for (const auto& [given, at, after] :
       {std::tuple{L"CHERRY", 3, L"cherry (42)"}, {L"durian", -1, L"durian"}}) {
    Bstr text(given);
    VARIANT_BOOL flag = VARIANT_FALSE;
    ASSERT_EQ(list->lfnMatchingPrefixLocationServerChange(&text.b, &compare,
                                                          at < 0 ? nullptr : &flag, &location),
              S_OK);
    EXPECT_EQ(location, at);
    EXPECT_EQ(text.text(), after);
  }
  index = 1;
  BSTR null_string = nullptr;
  ASSERT_EQ(list->ReplaceString(&index, &null_string), S_OK);  // a null string is empty
  EXPECT_EQ(list_of(list.Get())[1], L"");
  EXPECT_EQ(list->ReplaceString(&index, nullptr), S_OK);

  int member = 0;
  for (HRESULT hr :
       {list->get_StringList(nullptr), list->ReplaceString(nullptr, &band.b),
        list->TransferVBListBoxToStringList(nullptr), list->AssignStringList(nullptr),
        list->Init(nullptr, nullptr, nullptr, nullptr), list->get_ppStringListDescriptor(nullptr),
        list->lfnMatch(&band.b, nullptr, nullptr)})
    EXPECT_EQ(hr, E_POINTER) << member++;
}

// The client's own String() variable, shared in place with an instance, and
// through its descriptor with another; released, they leave it intact.
TEST(EarlyBound, SharingTheClientsArrayInPlace) {
  SafeArray variable{strings(0, {L"alpha", L"bravo", L"charlie"})};
  Address address = reinterpret_cast<Address>(&variable.a), descriptor = 0;
  {
    const auto list = create(), reader = create();
    init(list.Get(), "sharing.log");
    ASSERT_EQ(list->AssignStringList(&address), S_OK);
    LONG index = 1;
    Bstr beta(L"beta"), charlie(L"CHARLIE");
    ASSERT_EQ(list->ReplaceString(&index, &beta.b), S_OK);
    ASSERT_EQ(list->get_ppStringListDescriptor(&descriptor), S_OK);
    ASSERT_EQ(reader->AssignStringList(&descriptor), S_OK);
    Var found;
    ASSERT_EQ(reader->lfnMatch(&charlie.b, nullptr, &found), S_OK);
    EXPECT_EQ(found.lVal, 2);
  }
  EXPECT_EQ(contents(variable.a), (List{L"alpha", L"beta", L"charlie"}));
}

// Late-bound calls on a fresh, initialised object.
class LateBound : public ::testing::Test {
 protected:
  void SetUp() override {
    list_ = create();
    init(list_.Get(), "late.log");
    ASSERT_EQ(list_.As(&dispatch_), S_OK);
  }
  DISPID id(const wchar_t* name) { return dispid_of(dispatch_.Get(), name); }
  // A call with the caller's DISPPARAMS as they are.
  HRESULT raw(DISPID member, DISPPARAMS* params, VARIANT* result, UINT* arg_error,
              REFIID iid = IID_NULL) {
    EXCEPINFO e{};
    const HRESULT hr =
        dispatch_->Invoke(member, iid, 0, DISPATCH_METHOD, params, result, &e, arg_error);
    SysFreeString(e.bstrSource), SysFreeString(e.bstrDescription), SysFreeString(e.bstrHelpFile);
    return hr;
  }
  Invoked call(const wchar_t* member, std::vector<const VARIANT*> args, VARIANT* result = nullptr,
               std::vector<DISPID> names = {}) {
    return invoke(dispatch_.Get(), member, DISPATCH_METHOD, std::move(args), result,
                  std::move(names));
  }
  ComPtr<_clsStringList> list_;
  ComPtr<IDispatch> dispatch_;
};

// Errors a member raises reach the client as the HRESULT with the error
// information, early-bound, and late-bound in EXCEPINFO.
TEST_F(LateBound, RaisedErrorsReachTheClientBothWays) {
  Bstr empty(L"");
  SAFEARRAYBOUND two{2, 0};
  SafeArray longs{SafeArrayCreate(VT_I4, 1, &two)};
  const struct {
    Var argument;
    HRESULT hr;
    const wchar_t* starts;
  } cases[] = {
      {Var(VT_BSTR, static_cast<void*>(empty.b)), static_cast<HRESULT>(0x800A0005),
       L"Invalid procedure call or argument\r\nRaised at line "},
      {Var(kAddress, reinterpret_cast<LONGLONG>(&longs.a)), -1,
       L"Non string array descriptor passed to AssignStringList\r\nRaised at line "},
      {Var(kAddress, 1LL), -1, L"Unreadable memory address passed to AssignStringList: 1"},
  };
  for (const auto& c : cases) {
    const bool text = c.argument.vt == VT_BSTR;
    SetErrorInfo(0, nullptr);
    VARIANT_BOOL untouched = VARIANT_TRUE;
    BSTR string = c.argument.bstrVal;
    Address address = static_cast<Address>(c.argument.llVal);
    EXPECT_EQ(text ? list_->bfnDescriptionContainsCode(&string, &untouched)
                   : list_->AssignStringList(&address),
              c.hr);
    EXPECT_EQ(untouched, VARIANT_TRUE);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    Bstr description, source;
    GUID guid{};
    info->GetDescription(&description.b), info->GetSource(&source.b), info->GetGUID(&guid);
    EXPECT_TRUE(IsEqualGUID(guid, IID__clsStringList));
    Var result;
    const Invoked late =
        call(text ? L"bfnDescriptionContainsCode" : L"AssignStringList", {&c.argument}, &result);
    EXPECT_EQ(late.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(late.scode, c.hr);
    for (const auto& [from, got] :
         {std::pair{source.text(), description.text()}, std::pair{late.source, late.description}}) {
      EXPECT_EQ(from, L"CorvaneV10.clsStringList");
      EXPECT_EQ(got.rfind(c.starts, 0), 0u) << got;
    }
  }
}

// A put of anything but a string array: the member's own trap (logged),
// success for the client, the list emptied. A VARIANT that refers to itself
// ends the same way.
TEST_F(LateBound, BadPropertyPuts) {
  Self self;
  Var number(VT_I4, 3LL), real(1.5), text(L"x");
  for (const VARIANT* value : std::initializer_list<const VARIANT*>{&number, &real, &text, &self}) {
    for (bool late : {false, value != &self}) {
      put_list(list_.Get(), 0, {L"kept"});
      EXPECT_EQ(late ? invoke(dispatch_.Get(), L"StringList", DISPATCH_PROPERTYPUT, {value}).hr
                     : list_->put_StringList(*value),
                S_OK);
      EXPECT_TRUE(list_of(list_.Get()).empty());
    }
  }
}

// The list box as each kind of client passes it; what is not a list box
// leaves the list as it was.
TEST_F(LateBound, ListBoxTransfer) {
  ComPtr<IDispatch> box, not_a_box;
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"CorvaneTest.ListBox", &clsid), S_OK);
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &box), S_OK);
  for (const wchar_t* item : {L"zulu", L"alpha"}) {
    Var text(item);
    ASSERT_EQ(invoke(box.Get(), L"AddItem", DISPATCH_METHOD, {&text}).hr, S_OK);
  }
  ASSERT_EQ(CLSIDFromProgID(L"MarrowindDbgV10.clsDebug", &clsid), S_OK);
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &not_a_box),
            S_OK);
  IUnknown* unknown = box.Get();
  Var dispatch(box.Get(), VT_DISPATCH), as_unknown(box.Get(), VT_UNKNOWN),
      unknown_ref(VT_BYREF | VT_UNKNOWN, &unknown), name(L"List1"),
      nothing(VT_UNKNOWN, static_cast<void*>(nullptr)), other(not_a_box.Get(), VT_DISPATCH);
  Self self;
  const struct {
    const VARIANT* control;
    bool early, late, transferred;
  } cases[] = {
      {&dispatch, true, true, true},     {&as_unknown, false, true, true},
      {&unknown_ref, false, true, true}, {&name, true, true, false},
      {&nothing, true, true, false},     {&other, false, true, false},
      {&self, true, false, false},
  };
  for (const auto& c : cases) {
    for (bool late : {false, true}) {
      if (!(late ? c.late : c.early)) continue;
      put_list(list_.Get(), 0, {L"kept"});
      VARIANT control = *c.control;
      EXPECT_EQ(late ? call(L"TransferVBListBoxToStringList", {c.control}).hr
                     : list_->TransferVBListBoxToStringList(&control),
                S_OK);
      EXPECT_EQ(list_of(list_.Get()), (c.transferred ? List{L"zulu", L"alpha"} : List{L"kept"}))
          << (&c - cases) << (late ? " late" : " early");
    }
  }
}

// The members in slot order (7 to 18) with their DISPIDs and parameters, a
// letter each: S string, L long, B boolean, V variant, A address, all
// [in, out] by reference; O an optional boolean, D one defaulting to False;
// v a VARIANT [in] by value; the one after ">" is [out, retval].
struct Member {
  const wchar_t* name;
  DISPID dispid;
  INVOKEKIND kind;
  const char* params;
};
constexpr Member kMembers[] = {
    {L"lfnMatchingPrefixLocation", 0x60030002, INVOKE_FUNC, "SL>L"},
    {L"lfnFirstMatchingPrefix", 0x60030003, INVOKE_FUNC, "S>L"},
    {L"lfnMatch", 0x60030004, INVOKE_FUNC, "SD>V"},
    {L"StringList", 0x68030001, INVOKE_PROPERTYGET, ">V"},
    {L"StringList", 0x68030001, INVOKE_PROPERTYPUT, "v"},
    {L"TransferVBListBoxToStringList", 0x60030008, INVOKE_FUNC, "V"},
    {L"Init", 0x60030009, INVOKE_FUNC, "SSSL"},
    {L"ReplaceString", 0x6003000A, INVOKE_FUNC, "LS"},
    {L"AssignStringList", 0x6003000B, INVOKE_FUNC, "A"},
    {L"ppStringListDescriptor", 0x68030000, INVOKE_PROPERTYGET, ">A"},
    {L"lfnMatchingPrefixLocationServerChange", 0x6003000C, INVOKE_FUNC, "SLO>L"},
    {L"bfnDescriptionContainsCode", 0x60030013, INVOKE_FUNC, "S>B"},
};

// The binding contract, through the object's names and its type information.
TEST_F(LateBound, MembersKeepTheirSlotsDispidsAndParameters) {
  UINT count = 0;
  EXPECT_EQ(dispatch_->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ComPtr<ITypeInfo> info, vtable;
  EXPECT_EQ(dispatch_->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
  ASSERT_EQ(dispatch_->GetTypeInfo(0, 0, &info), S_OK);
  HREFTYPE ref = 0;
  ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);  // a dual's other view
  ASSERT_EQ(info->GetRefTypeInfo(ref, &vtable), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(vtable->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->cFuncs, 12);
  EXPECT_EQ(attributes->cbSizeVft, 19 * sizeof(void*));
  EXPECT_EQ(attributes->wTypeFlags & (TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDUAL),
            TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDUAL);
  vtable->ReleaseTypeAttr(attributes);
  const std::string codes = "SLVAODBv";
  const VARTYPE types[] = {VT_BSTR, VT_I4, VT_VARIANT, kAddress, VT_BOOL, VT_BOOL, VT_BOOL};
  for (UINT i = 0; i < std::size(kMembers); ++i) {
    const Member& m = kMembers[i];
    EXPECT_EQ(id(m.name), m.dispid) << i;
    FUNCDESC* f = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(i, &f), S_OK);
    EXPECT_EQ(f->oVft, static_cast<int>((7 + i) * sizeof(void*))) << i;
    EXPECT_EQ(f->memid, m.dispid) << i;
    EXPECT_EQ(f->invkind, m.kind) << i;
    EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT) << i;
    std::string letters = m.params;
    const bool has_retval = letters.find('>') != std::string::npos;
    if (has_retval) letters.erase(letters.find('>'), 1);
    ASSERT_EQ(f->cParams, static_cast<SHORT>(letters.size())) << i;
    for (SHORT p = 0; p < f->cParams; ++p) {
      const ELEMDESC& e = f->lprgelemdescParam[p];
      const char c = letters[p];
      const bool retval = has_retval && p == f->cParams - 1;
      const VARTYPE vt = e.tdesc.vt == VT_PTR ? VT_BYREF | e.tdesc.lptdesc->vt : e.tdesc.vt;
      EXPECT_EQ(vt, c == 'v' ? VT_VARIANT : VT_BYREF | types[codes.find(c)]) << i << ":" << p;
      USHORT flags = c == 'v' ? PARAMFLAG_FIN : PARAMFLAG_FIN | PARAMFLAG_FOUT;
      if (c == 'O' || c == 'D')
        flags |= c == 'D' ? PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT : PARAMFLAG_FOPT;
      if (retval) flags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
      EXPECT_EQ(e.paramdesc.wParamFlags, flags) << i << ":" << p;
      const VARIANT* value = c == 'D' ? &e.paramdesc.pparamdescex->varDefaultValue : nullptr;
      EXPECT_TRUE(value == nullptr || (value->vt == VT_BOOL && value->boolVal == VARIANT_FALSE));
    }
    vtable->ReleaseFuncDesc(f);
  }
  dispid_of(dispatch_.Get(), L"NoSuchMember", DISP_E_UNKNOWNNAME);
  dispid_of(dispatch_.Get(), L"lfnMatch", DISP_E_UNKNOWNINTERFACE, IID_IDispatch);
}

// By-reference arguments as compiled clients and scripts pass them: a
// compiled client's reference is used as it is, a value is converted by the
// dispatcher; a script's variable of the parameter's type is used in place,
// one of another type as a converted copy (the variable keeps its type), one
// holding a reference through that reference.
TEST_F(LateBound, ByReferenceArgumentsOfCompiledClientsAndScripts) {
  put_list(list_.Get(), 0, {L"10", L"20", L"30"});
  LONG index = 1;
  Bstr text(L"twenty");
  Var index_ref(VT_BYREF | VT_I4, &index), text_ref(VT_BYREF | VT_BSTR, &text.b);
  EXPECT_EQ(call(L"ReplaceString", {&index_ref, &text_ref}).hr, S_OK);
  Var zero(VT_I2, 0LL), ten(L"ten");
  EXPECT_EQ(call(L"ReplaceString", {&zero, &ten}).hr, S_OK);
  Var index_variable(VT_I2, 2LL), text_variable(L"Red Apple (123)");
  Var index_variable_ref(VT_BYREF | VT_VARIANT, &index_variable),
      text_variable_ref(VT_BYREF | VT_VARIANT, &text_variable);
  EXPECT_EQ(call(L"ReplaceString", {&index_variable_ref, &text_variable_ref}).hr, S_OK);
  EXPECT_EQ(list_of(list_.Get()), (List{L"ten", L"twenty", L"Red Apple (123)"}));
  EXPECT_EQ(index_variable.vt, VT_I2);

  // The description search writes the stored entry back into the caller's string.
  Var result;
  Bstr given(L"red apple"), held(L"RED APPLE");
  Var variable(L"Red apple"), holds_ref(VT_BYREF | VT_BSTR, &held.b);
  Var by_string(VT_BYREF | VT_BSTR, &given.b), by_variable(VT_BYREF | VT_VARIANT, &variable),
      by_held(VT_BYREF | VT_VARIANT, &holds_ref);
  for (const VARIANT* description : {&by_string, &by_variable, &by_held}) {
    ASSERT_EQ(call(L"lfnMatchingPrefixLocationServerChange", {description, &zero}, &result).hr,
              S_OK);
    EXPECT_EQ(result.lVal, 2);
  }
  EXPECT_EQ(given.text(), L"Red Apple (123)");
  EXPECT_EQ(variable.vt, VT_BSTR);
  EXPECT_STREQ(variable.bstrVal, L"Red Apple (123)");
  EXPECT_EQ(held.text(), L"Red Apple (123)");
}

// Named arguments, in an order other than the parameters', by reference:
// each reaches the parameter it names.
TEST_F(LateBound, NamedByReferenceArguments) {
  put_list(list_.Get(), 0, {L"apple", L"Banana", L"cherry (42)"});
  Var variable(L"CHERRY"), result;
  VARIANT_BOOL with_code = VARIANT_FALSE;
  LONG compare = 1;
  Var text(VT_BYREF | VT_VARIANT, &variable), flag(VT_BYREF | VT_BOOL, &with_code),
      compare_ref(VT_BYREF | VT_I4, &compare);
  // sTargetPrefix (0), bDescriptionWithCode (2), CompareType (1).
  ASSERT_EQ(call(L"lfnMatchingPrefixLocationServerChange", {&text, &flag, &compare_ref}, &result,
                 {0, 2, 1})
                .hr,
            S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 2);
  EXPECT_EQ(variable.vt, VT_BSTR);
  EXPECT_STREQ(variable.bstrVal, L"cherry (42)");
  // sReplacementString (1) as a string by reference, lIndex (0) as a script's variable.
  Bstr replacement(L"banana");
  Var index_variable(VT_I2, 1LL);
  Var by_text(VT_BYREF | VT_BSTR, &replacement.b), by_index(VT_BYREF | VT_VARIANT, &index_variable);
  EXPECT_EQ(call(L"ReplaceString", {&by_text, &by_index}, nullptr, {1, 0}).hr, S_OK);
  EXPECT_EQ(list_of(list_.Get()), (List{L"apple", L"banana", L"cherry (42)"}));
}

// A string given by value for a by-reference parameter comes back as the
// dispatcher left it, whether the trailing optional argument is given or left
// out (then the arguments are adapted before the dispatcher sees them); it is
// the caller's to clear.
TEST_F(LateBound, AValueForAByReferenceParameterComesBackAsTheDispatcherLeftIt) {
  put_list(list_.Get(), 0, {L"10", L"20", L"Red Apple (123)"});
  std::vector<std::tuple<VARTYPE, bool, std::wstring>> outcomes;
  for (UINT count : {3u, 2u}) {
    // Reversed: the optional flag, the compare type, the text.
    Var args[3] = {Var(VT_BOOL, 0LL), Var(VT_I4, 0LL), Var(L"red apple")};
    const BSTR given = args[2].bstrVal;
    DISPPARAMS params{args + 3 - count, nullptr, count, 0};
    Var result;
    EXPECT_EQ(raw(id(L"lfnMatchingPrefixLocationServerChange"), &params, &result, nullptr), S_OK);
    EXPECT_EQ(result.lVal, 2);
    const bool text = args[2].vt == VT_BSTR && args[2].bstrVal != nullptr;
    outcomes.emplace_back(args[2].vt, args[2].bstrVal == given, text ? args[2].bstrVal : L"");
  }
  EXPECT_EQ(outcomes[0], outcomes[1]);
}

// Calls no client can mean fail cleanly, and DISPPARAMS whose counts disagree
// with their arrays, or with a by-reference argument without its storage, are
// refused before the dispatcher reads them.
TEST_F(LateBound, MalformedCallsAreRefused) {
  const DISPID replace = id(L"ReplaceString");
  Var zero(VT_I4, 0LL), text(L"x"), nothing(VT_UNKNOWN, static_cast<void*>(nullptr)),
      no_text(VT_BYREF | VT_BSTR, nullptr);
  Var behind(VT_BYREF | VT_VARIANT, &no_text);
  Self self;
  const struct {
    DISPID member;
    std::vector<VARIANT> rgvarg;  // copies of the bits: the references stay the same
    bool with_array;
    std::vector<DISPID> names;
    UINT named;
    HRESULT hr;
    UINT arg_error;
  } cases[] = {
      {replace, {zero, zero}, false, {}, 0, E_INVALIDARG, 99},
      {replace, {zero, zero}, true, {0, 1, 2}, 3, E_INVALIDARG, 99},
      {replace, {zero, zero}, true, {}, 1, E_INVALIDARG, 99},
      {replace, {no_text, zero}, true, {}, 0, DISP_E_TYPEMISMATCH, 0},
      {replace, {behind, zero}, true, {}, 0, DISP_E_TYPEMISMATCH, 0},
      {replace, {self, zero}, true, {}, 0, E_INVALIDARG, 99},
      {replace, {text, nothing}, true, {}, 0, DISP_E_TYPEMISMATCH, 99},
      {replace, {zero}, true, {}, 0, DISP_E_BADPARAMCOUNT, 99},
      {0x12345, {}, true, {}, 0, DISP_E_MEMBERNOTFOUND, 99},
  };
  for (const auto& c : cases) {
    std::vector<VARIANT> args = c.rgvarg;
    std::vector<DISPID> names = c.names;
    DISPPARAMS params{c.with_array ? args.data() : nullptr, names.empty() ? nullptr : names.data(),
                      static_cast<UINT>(args.size()), c.named};
    UINT arg_error = 99;
    EXPECT_EQ(raw(c.member, &params, nullptr, &arg_error), c.hr) << (&c - cases);
    EXPECT_EQ(arg_error, c.arg_error) << (&c - cases);
  }
  EXPECT_EQ(raw(replace, nullptr, nullptr, nullptr, IID_IDispatch), DISP_E_UNKNOWNINTERFACE);
}

TEST(TypeLibrary, LibraryInterfaceClassAndAlias) {
  ComPtr<ITypeLib> library;
  ASSERT_EQ(LoadTypeLibEx(dll_path().c_str(), REGKIND_NONE, &library), S_OK);
  TLIBATTR* lib = nullptr;
  ASSERT_EQ(library->GetLibAttr(&lib), S_OK);
  EXPECT_TRUE(IsEqualGUID(lib->guid, LIBID_CorvaneV10));
  EXPECT_EQ(lib->wMajorVerNum * 10 + lib->wMinorVerNum, 41);
  library->ReleaseTLibAttr(lib);
  Bstr name;
  ASSERT_EQ(library->GetDocumentation(-1, &name.b, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(name.text(), L"CorvaneV10");

  const struct {
    GUID guid;
    TYPEKIND kind;
    int version;
    WORD flags;
    const wchar_t* name;
  } types[] = {
      {IID__clsStringList, TKIND_DISPATCH, 11,
       TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE,
       L"_clsStringList"},
      {CLSID_clsStringList, TKIND_COCLASS, 11, TYPEFLAG_FCANCREATE, L"clsStringList"},
      {kIID_v0, TKIND_ALIAS, 10, TYPEFLAG_FHIDDEN, L"clsStringList___v0"},
  };
  for (const auto& t : types) {
    ComPtr<ITypeInfo> info, referred;
    ASSERT_EQ(library->GetTypeInfoOfGuid(t.guid, &info), S_OK);
    TYPEATTR* a = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&a), S_OK);
    EXPECT_EQ((std::tuple<int, int, int>(a->typekind, a->wMajorVerNum * 10 + a->wMinorVerNum,
                                         a->wTypeFlags & t.flags)),
              (std::tuple<int, int, int>(t.kind, t.version, t.flags)));
    HREFTYPE ref = a->tdescAlias.hreftype;  // the interface the alias names
    info->ReleaseTypeAttr(a);
    INT impl_flags = IMPLTYPEFLAG_FDEFAULT;
    if (t.kind == TKIND_COCLASS) {  // the class's default interface
      ASSERT_EQ(info->GetImplTypeFlags(0, &impl_flags), S_OK);
      ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
    }
    EXPECT_NE(impl_flags & IMPLTYPEFLAG_FDEFAULT, 0);
    if (t.kind != TKIND_DISPATCH) {
      ASSERT_EQ(info->GetRefTypeInfo(ref, &referred), S_OK);
      ASSERT_EQ(referred->GetTypeAttr(&a), S_OK);
      EXPECT_TRUE(IsEqualIID(a->guid, IID__clsStringList));
      referred->ReleaseTypeAttr(a);
    }
    Bstr type_name;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &type_name.b, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(type_name.text(), t.name);
  }
}

TEST(Resources, InterfaceListAndVersion) {
  HMODULE module = LoadLibraryExW(dll_path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceW(module, L"_IID_CLSSTRINGLIST", L"CUSTOM");
  ASSERT_NE(found, nullptr);
  ASSERT_EQ(SizeofResource(module, found), 36u);
  // A count of 32 bytes, then the earlier and the current interface identity.
  unsigned char expected[36] = {32};
  std::memcpy(expected + 4, &kIID_v0, 16);
  std::memcpy(expected + 20, &IID__clsStringList, 16);
  EXPECT_EQ(std::memcmp(LockResource(LoadResource(module, found)), expected, 36), 0);
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

std::wstring value_of(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[512] = {};
  DWORD size = sizeof data;
  const LONG rc =
      RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size);
  return rc == ERROR_SUCCESS ? data : L"<missing>";
}

TEST(Registration, RegisterWritesAndUnregisterRemovesExactlyTheKeys) {
  HMODULE module = LoadLibraryW(dll_path().c_str());
  ASSERT_NE(module, nullptr);
  Entry unregister = export_of(module, "DllUnregisterServer");
  Entry reregister = export_of(module, "DllRegisterServer");
  ASSERT_TRUE(unregister != nullptr && reregister != nullptr);
  const std::wstring cls = L"CLSID\\{4C80A6D8-AE04-4B5F-A6BD-281875877CCF}";
  const std::wstring keys[] = {cls, L"CorvaneV10.clsStringList",
                               L"TypeLib\\{489EA435-6CD9-4820-986B-7CBA9CC7E606}",
                               L"Interface\\{6E971FC3-B191-4FA0-A578-72A13975EBB7}",
                               L"Interface\\{6EC7F1C7-4D11-4436-91C7-AE494CBA446B}"};
  auto exists = [](const std::wstring& key) {
    HKEY h = nullptr;
    const bool found = RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) == 0;
    if (found) RegCloseKey(h);
    return found;
  };
  for (bool registered : {false, true}) {
    ASSERT_EQ(registered ? reregister() : unregister(), S_OK);
    for (const auto& key : keys) EXPECT_EQ(exists(key), registered) << key.size();
  }
  EXPECT_EQ(value_of(cls + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(_wcsicmp(value_of(cls + L"\\InprocServer32").c_str(), dll_path().c_str()), 0);
  EXPECT_EQ(value_of(cls + L"\\ProgID"), keys[1]);
  EXPECT_EQ(value_of(keys[1] + L"\\CLSID"), cls.substr(6));
  EXPECT_EQ(value_of(keys[1] + L"\\CurVer"), keys[1]);
  EXPECT_EQ(value_of(keys[4] + L"\\Forward"), keys[3].substr(10));  // the earlier identity
  EXPECT_TRUE(exists(keys[2] + L"\\4.1"));
  FreeLibrary(module);
}

SIZE_T memory_in_use() {
  PROCESS_MEMORY_COUNTERS counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, counters.cb = sizeof counters);
  return counters.WorkingSetSize;
}

// The DLL stays while an object or a lock holds it. Other apartments
// (threads, each with its own STA) create objects, use and release them, and
// end: their module values (here 12 MB of log paths each) go with them. Then
// the DLL unloads, and loaded again it works as before.
TEST(Lifetime, ObjectsLocksApartmentsAndUnloading) {
  CoFreeUnusedLibrariesEx(0, 0);
  ComPtr<IClassFactory> factory;
  ComPtr<_clsStringList> list;
  auto get_factory = [&] {
    ASSERT_EQ(CoGetClassObject(CLSID_clsStringList, CLSCTX_INPROC_SERVER, nullptr,
                               IID_IClassFactory, &factory),
              S_OK);
  };
  get_factory();
  const Entry can_unload = export_of(GetModuleHandleW(L"Corvane.dll"), "DllCanUnloadNow");
  ASSERT_NE(can_unload, nullptr);
  EXPECT_EQ(can_unload(), S_FALSE);  // the factory is held
  ASSERT_EQ(factory->CreateInstance(nullptr, IID__clsStringList, &list), S_OK);
  init(list.Get(), "lifetime.log");  // fills the apartment's values
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  EXPECT_EQ(can_unload(), S_FALSE);  // the object and the lock

  const std::wstring path(1 << 21, L'x');
  auto apartment = [&] {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return ADD_FAILURE();
    {
      const auto list = create();
      Bstr big(path.c_str()), b(L"B");
      LONG level = 0;
      EXPECT_EQ(list->Init(&big.b, &big.b, &big.b, &level), S_OK);
      put_list(list.Get(), 0, {L"a", L"b"});
      Var found;
      EXPECT_EQ(list->lfnMatch(&b.b, nullptr, &found), S_OK);
      EXPECT_EQ(found.lVal, 1);
    }
    CoUninitialize();
  };
  std::thread(apartment).join();
  const SIZE_T before = memory_in_use();
  for (int i = 0; i < 6; ++i) std::thread(apartment).join();
  EXPECT_LT(memory_in_use(), before + (24 << 20)) << "from " << before;

  list.Reset();
  EXPECT_EQ(can_unload(), S_FALSE);  // the lock
  get_factory();
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  factory.Reset();
  EXPECT_EQ(can_unload(), S_OK);
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(GetModuleHandleW(L"Corvane.dll"), nullptr);
  list = create();
  const auto log = init(list.Get(), "reloaded.log");
  LONG index = 0;
  Bstr text(L"x");
  EXPECT_EQ(list->ReplaceString(&index, &text.b), S_OK);
  EXPECT_NE(read_file(log).find("No strings in StringList"), std::string::npos);
}

// The debugger object of the suite, created by programmatic identifier and
// called by name (the registered stand-in records the calls beside itself).
TEST(DebuggerObject, CreatedAndCalledByName) {
  const std::filesystem::path calls =
      std::filesystem::path(dll_path()).parent_path() / "clsDebug.calls";
  std::filesystem::remove(calls);
  corvane::modVBTrace::module_values().process_name = std::wstring(L"Corvane");
  EXPECT_TRUE(corvane::modVBTrace::DebuggerObjectInitialized());
  // The hang-dump request hands over the caller's variables themselves.
  corvane::platform::AutomationObjects::system().call(
      corvane::modVBTrace::module_values().debugger_object, L"DoHangDumpIfNecessary",
      {L" 91", L"m.r"}, corvane::platform::AutomationObjects::Passing::kByReference);
  EXPECT_EQ(read_file(calls),
            "Init Corvane\nParseErrorsToDiagnose\nDoHangDumpIfNecessary & 91 &m.r\n");
  std::filesystem::remove(calls);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
