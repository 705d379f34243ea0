// A compiled client of Corvane.dll through the real COM boundary, for what
// the class's own logic (tested natively) cannot show: creation and
// interfaces, argument adaptation early- and late-bound, by-reference
// parameters, error information, the type library, resources,
// object lifetime and apartments. The DLL is registered in the test's wine
// prefix before this runs; CORVANE_DLL names it.
#include <gtest/gtest.h>
#include <ole2.h>
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
#include <vector>

#include "CorvaneV10.h"
#include "automation/bstr.h"
#include "automation/safe_array.h"
#include "platform/automation_objects.h"
#include "trace/crash_handling.h"
#include "trace/module_values.h"

namespace {

using corvane::Bstr;
using Microsoft::WRL::ComPtr;
using List = std::vector<std::wstring>;
namespace fs = std::filesystem;

// {6EC7F1C7-4D11-4436-91C7-AE494CBA446B}
constexpr IID kIID_v0 = {
    0x6EC7F1C7, 0x4D11, 0x4436, {0x91, 0xC7, 0xAE, 0x49, 0x4C, 0xBA, 0x44, 0x6B}};
// The type of the pointer-sized integers that carry addresses.
constexpr VARTYPE kAddress = sizeof(void*) == 8 ? VT_I8 : VT_I4;

// A VARIANT that clears itself: a value it owns, or a reference it does not.
struct Var : VARIANT {
  Var() { VariantInit(this); }
  explicit Var(const wchar_t* text) : Var() { vt = VT_BSTR, bstrVal = SysAllocString(text); }
  Var(VARTYPE type, LONGLONG number) : Var() { vt = type, llVal = number; }
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

// The DLL under test, with Windows folder separators.
std::wstring dll_path() {
  const char* path = std::getenv("CORVANE_DLL");
  return fs::path(path == nullptr ? "" : path).make_preferred().wstring();
}

fs::path temp_file(const std::string& name) {
  const auto dir = fs::temp_directory_path() / "corvane-com-tests";
  fs::create_directories(dir);
  fs::remove_all(dir / name);
  return dir / name;
}

std::string read_file(const fs::path& p) {
  std::ostringstream out;
  out << std::ifstream(p, std::ios::binary).rdbuf();
  return out.str();
}

List contents(SAFEARRAY* a) {
  List items;
  for (int i = a ? corvane::array_lower_bound(a) : 0; a && i <= corvane::array_upper_bound(a); ++i)
    items.emplace_back(corvane::bstr_view(corvane::string_element(a, i)));
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
fs::path init(_clsStringList* list, const std::string& log_name, const wchar_t* summary = L"",
              const wchar_t* folder = L"") {
  const auto log = temp_file(log_name);
  Bstr detail(log.wstring()), summary_log(summary), log_folder(folder);
  LONG level = 2;
  EXPECT_EQ(list->Init(detail.cell(), summary_log.cell(), log_folder.cell(), &level), S_OK);
  return log;
}

void put_list(_clsStringList* list, const List& items) {
  ASSERT_EQ(list->put_StringList(Var(corvane::string_array_from(0, items).release())), S_OK);
}

List list_of(_clsStringList* list) {
  Var back;
  EXPECT_EQ(list->get_StringList(&back), S_OK);
  EXPECT_EQ(back.vt, VT_ARRAY | VT_BSTR);
  return contents(back.parray);
}

DISPID dispid_of(IDispatch* d, const wchar_t* member, HRESULT expected = S_OK,
                 REFIID iid = IID_NULL) {
  LPOLESTR name = const_cast<LPOLESTR>(member);
  DISPID id = DISPID_UNKNOWN;
  EXPECT_EQ(d->GetIDsOfNames(iid, &name, 1, LOCALE_USER_DEFAULT, &id), expected) << member;
  return id;
}

// A late-bound call with the DISPPARAMS as they are: its HRESULT, and the
// argument-error cell (99 unless the call set it).
struct Invoked {
  HRESULT hr;
  UINT arg_error;
};
Invoked invoke(IDispatch* d, DISPID id, DISPPARAMS* params, VARIANT* result = nullptr,
               WORD flags = DISPATCH_METHOD, REFIID iid = IID_NULL) {
  EXCEPINFO e{};
  Invoked out{S_OK, 99};
  out.hr = d->Invoke(id, iid, LOCALE_USER_DEFAULT, flags, params, result, &e, &out.arg_error);
  SysFreeString(e.bstrSource), SysFreeString(e.bstrDescription), SysFreeString(e.bstrHelpFile);
  return out;
}

// A late-bound call of `member`. Without `names`, `args` are in call order
// (reversed into rgvarg); with them, in rgvarg order, named by them. The call
// gets copies of the arguments (a by-reference one is copied as the
// reference): the dispatcher may write into an argument given by value.
Invoked invoke(IDispatch* d, const wchar_t* member, std::vector<const VARIANT*> args,
               VARIANT* result = nullptr, std::vector<DISPID> names = {},
               WORD flags = DISPATCH_METHOD) {
  if (flags & DISPATCH_PROPERTYPUT) names = {DISPID_PROPERTYPUT};
  std::vector<Var> copies(args.size());
  for (size_t k = 0; k < args.size(); ++k) {
    const VARIANT* given = names.empty() ? args[args.size() - 1 - k] : args[k];
    EXPECT_EQ(VariantCopy(&copies[k], const_cast<VARIANT*>(given)), S_OK);
  }
  DISPPARAMS params{copies.data(), names.data(), static_cast<UINT>(copies.size()),
                    static_cast<UINT>(names.size())};
  return invoke(d, dispid_of(d, member), &params, result, flags);
}

// A fresh, initialised object, early- and late-bound.
class Client : public ::testing::Test {
 protected:
  void SetUp() override {
    list_ = create();
    init(list_.Get(), "client.log");
    ASSERT_EQ(list_.As(&dispatch_), S_OK);
  }
  Invoked call(const wchar_t* member, std::vector<const VARIANT*> args, VARIANT* result = nullptr,
               std::vector<DISPID> names = {}) {
    return invoke(dispatch_.Get(), member, std::move(args), result, std::move(names));
  }
  DISPID id(const wchar_t* name) { return dispid_of(dispatch_.Get(), name); }
  ComPtr<_clsStringList> list_;
  ComPtr<IDispatch> dispatch_;
};

// An object created by class identifier (the programmatic identifier is
// checked with the registration and by the script client), with every
// interface and without aggregation.
TEST(Creation, EveryInterface) {
  const CLSID clsid = CLSID_clsStringList;
  ComPtr<IUnknown> unknown, other;
  ComPtr<ISupportErrorInfo> error_info;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &unknown), S_OK);
  ASSERT_EQ(unknown.As(&error_info), S_OK);
  // The current and the earlier identity and IDispatch are one interface,
  // with error information for the identities.
  for (const auto& [iid, errors] :
       {std::pair{IID__clsStringList, S_OK}, {kIID_v0, S_OK}, {IID_IDispatch, S_FALSE}}) {
    ComPtr<IUnknown> same;
    ASSERT_EQ(unknown->QueryInterface(iid, &same), S_OK);
    EXPECT_EQ(std::pair(same.Get(), error_info->InterfaceSupportsErrorInfo(iid)),
              std::pair(unknown.Get(), errors));
  }
  EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
  EXPECT_EQ(CoCreateInstance(clsid, unknown.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown, &other),
            CLASS_E_NOAGGREGATION);
}

// The members' arguments as a compiled client passes them: each of Init's
// files gets its lines (a message box reached through the boundary is
// answered by "NoMsgBox.flg" beside the DLL), each member its arguments, a
// null string read as empty, an omitted optional argument as False, the
// description search writing the stored entry back only on a match, and the
// pointers a member needs checked.
TEST_F(Client, EarlyBoundArgumentsAndResults) {
  const auto folder = temp_file("logs");
  fs::create_directories(folder);
  init(list_.Get(), "logs/detail.log", (folder / "summary.log").wstring().c_str(),
       folder.wstring().c_str());
  LONG index = 5, compare = 1, location = -9, first = -9;
  Bstr band(L"BAND"), ban(L"ban"), coded(L"Red Apple (123)");
  ASSERT_EQ(list_->ReplaceString(&index, band.cell()), S_OK);  // no list: logged, summed up
  ASSERT_EQ(list_->put_StringList(Var(VT_I4, 3LL)), S_OK);     // not a list: boxed
  for (const auto& [file, line] : {std::pair{"detail.log", "User clicked: OK"},
                                   {"summary.log", "No strings in StringList"},
                                   {"Session.ini", "Severity3Count=1"}})
    EXPECT_NE(read_file(folder / file).find(line), std::string::npos) << file << line;
  put_list(list_.Get(), {L"apple", L"Banana", L"band", L"cherry (42)"});
  VARIANT_BOOL as_long = VARIANT_TRUE, contains = VARIANT_FALSE;
  Var by_number, by_text;
  ASSERT_EQ(list_->lfnMatch(band.cell(), &as_long, &by_number), S_OK);  // no number: no search
  ASSERT_EQ(list_->lfnMatch(band.cell(), nullptr, &by_text), S_OK);     // omitted: as text
  ASSERT_EQ(list_->lfnMatchingPrefixLocation(ban.cell(), &compare, &location), S_OK);
  ASSERT_EQ(list_->lfnFirstMatchingPrefix(ban.cell(), &first), S_OK);
  ASSERT_EQ(list_->bfnDescriptionContainsCode(coded.cell(), &contains), S_OK);
  EXPECT_EQ(std::tuple(by_number.vt, by_number.iVal, by_text.vt, by_text.lVal),
            std::tuple(VARTYPE{VT_I2}, SHORT{-1}, VARTYPE{VT_I4}, LONG{2}));
  EXPECT_EQ(std::tuple(location, first, contains), std::tuple(1L, 1L, VARIANT_TRUE));
  for (const auto& [given, at, after] :
       {std::tuple{L"CHERRY", 3, L"cherry (42)"}, {L"durian", -1, L"durian"}}) {
    Bstr text(given);
    VARIANT_BOOL flag = VARIANT_FALSE;
    ASSERT_EQ(list_->lfnMatchingPrefixLocationServerChange(text.cell(), &compare,
                                                           at < 0 ? nullptr : &flag, &location),
              S_OK);
    EXPECT_EQ(std::pair(location, std::wstring(text.view())),
              std::pair(LONG{at}, std::wstring(after)));
  }
  index = 1;
  BSTR null_string = nullptr;
  ASSERT_EQ(list_->ReplaceString(&index, &null_string), S_OK);  // a null string is empty
  EXPECT_EQ(list_of(list_.Get())[1], L"");
  EXPECT_EQ(list_->ReplaceString(&index, nullptr), S_OK);
  int member = 0;
  for (HRESULT hr :
       {list_->get_StringList(nullptr), list_->ReplaceString(nullptr, band.cell()),
        list_->TransferVBListBoxToStringList(nullptr), list_->AssignStringList(nullptr),
        list_->Init(nullptr, nullptr, nullptr, nullptr), list_->get_ppStringListDescriptor(nullptr),
        list_->lfnMatch(band.cell(), nullptr, nullptr)})
    EXPECT_EQ(hr, E_POINTER) << member++;
}

// The list box as each kind of client passes it; what is not a list box
// leaves the list as it was.
TEST_F(Client, ListBoxTransfer) {
  ComPtr<IDispatch> box;
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"CorvaneTest.ListBox", &clsid), S_OK);
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &box), S_OK);
  for (const wchar_t* item : {L"zulu", L"alpha"}) {
    Var text(item);
    ASSERT_EQ(invoke(box.Get(), L"AddItem", {&text}).hr, S_OK);
  }
  IUnknown* unknown = box.Get();
  Var dispatch(box.Get(), VT_DISPATCH), as_unknown(box.Get(), VT_UNKNOWN),
      unknown_ref(VT_BYREF | VT_UNKNOWN, &unknown), name(L"List1"),
      nothing(VT_UNKNOWN, static_cast<void*>(nullptr)), other(dispatch_.Get(), VT_DISPATCH);
  Self self;
  // Each form, whether early- and late-bound clients pass it, whether it is transferred.
  const std::tuple<const VARIANT*, bool, bool, bool> cases[] = {
      {&dispatch, true, true, true},     {&as_unknown, false, true, true},
      {&unknown_ref, false, true, true}, {&name, true, true, false},
      {&nothing, true, true, false},     {&other, false, true, false},
      {&self, true, false, false},
  };
  for (const auto& [control, early, late_too, transferred] : cases) {
    for (bool late : {false, true}) {
      if (!(late ? late_too : early)) continue;
      put_list(list_.Get(), {L"kept"});
      VARIANT copy = *control;
      EXPECT_EQ(late ? call(L"TransferVBListBoxToStringList", {control}).hr
                     : list_->TransferVBListBoxToStringList(&copy),
                S_OK);
      EXPECT_EQ(list_of(list_.Get()), (transferred ? List{L"zulu", L"alpha"} : List{L"kept"}))
          << control->vt << (late ? " late" : " early");
    }
  }
}

// The binding contract, through the object's names and its type information:
// the members in slot order (7 to 18) with their DISPIDs and parameters, a
// letter each: S string, L long, B boolean, V variant, A address, all
// [in, out] by reference; O an optional boolean, D one defaulting to False;
// v a VARIANT [in] by value; the one after ">" is [out, retval].
TEST_F(Client, MembersKeepTheirSlotsDispidsAndParameters) {
  const std::tuple<const wchar_t*, DISPID, INVOKEKIND, std::string> members[] = {
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
  UINT count = 0;
  EXPECT_TRUE(dispatch_->GetTypeInfoCount(&count) == S_OK && count == 1);
  ComPtr<ITypeInfo> info, vtable;
  EXPECT_EQ(dispatch_->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
  ASSERT_EQ(dispatch_->GetTypeInfo(0, 0, &info), S_OK);
  HREFTYPE ref = 0;
  ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);  // a dual's other view
  ASSERT_EQ(info->GetRefTypeInfo(ref, &vtable), S_OK);
  TYPEATTR* a = nullptr;
  ASSERT_EQ(vtable->GetTypeAttr(&a), S_OK);
  const int dual = TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDUAL;
  EXPECT_EQ(std::tuple(a->cFuncs, a->cbSizeVft, a->wTypeFlags & dual),
            std::tuple(WORD{12}, WORD{19 * sizeof(void*)}, dual));
  vtable->ReleaseTypeAttr(a);
  const std::string codes = "SLVAODB";
  const VARTYPE types[] = {VT_BSTR, VT_I4, VT_VARIANT, kAddress, VT_BOOL, VT_BOOL, VT_BOOL};
  for (UINT i = 0; i < std::size(members); ++i) {
    const auto& [name, dispid, kind, params] = members[i];
    EXPECT_EQ(id(name), dispid) << i;
    FUNCDESC* f = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(i, &f), S_OK);
    EXPECT_EQ(std::tuple(f->oVft, f->memid, f->invkind, f->elemdescFunc.tdesc.vt),
              std::tuple(SHORT((7 + i) * sizeof(void*)), dispid, kind, VARTYPE{VT_HRESULT}))
        << i;
    const size_t retval = params.find('>');
    std::string letters = params;
    if (retval != std::string::npos) letters.erase(retval, 1);
    ASSERT_EQ(f->cParams, static_cast<SHORT>(letters.size())) << i;
    for (SHORT p = 0; p < f->cParams; ++p) {
      const ELEMDESC& e = f->lprgelemdescParam[p];
      const char c = letters[p];
      const VARTYPE vt = e.tdesc.vt == VT_PTR ? VT_BYREF | e.tdesc.lptdesc->vt : e.tdesc.vt;
      EXPECT_EQ(vt, c == 'v' ? VT_VARIANT : VT_BYREF | types[codes.find(c)]) << i << ":" << p;
      int flags = c == 'v' ? PARAMFLAG_FIN : PARAMFLAG_FIN | PARAMFLAG_FOUT;
      if (c == 'O' || c == 'D') flags |= PARAMFLAG_FOPT | (c == 'D' ? PARAMFLAG_FHASDEFAULT : 0);
      if (static_cast<size_t>(p) == retval) flags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
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
// holding a reference through that reference. Named arguments, in an order
// other than the parameters', reach the parameter each names.
TEST_F(Client, ByReferenceAndNamedArgumentsOfCompiledClientsAndScripts) {
  put_list(list_.Get(), {L"10", L"20", L"30"});
  LONG index = 1, compare = 1;
  Bstr text(L"twenty");
  Var index_ref(VT_BYREF | VT_I4, &index), text_ref(VT_BYREF | VT_BSTR, text.cell());
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
  Var variable(L"Red apple"), holds_ref(VT_BYREF | VT_BSTR, held.cell());
  Var by_string(VT_BYREF | VT_BSTR, given.cell()), by_variable(VT_BYREF | VT_VARIANT, &variable),
      by_held(VT_BYREF | VT_VARIANT, &holds_ref);
  for (const VARIANT* description : {&by_string, &by_variable, &by_held}) {
    ASSERT_EQ(call(L"lfnMatchingPrefixLocationServerChange", {description, &zero}, &result).hr,
              S_OK);
    EXPECT_EQ(result.lVal, 2);
  }
  EXPECT_EQ(std::wstring(given.view()), L"Red Apple (123)");
  EXPECT_EQ(std::wstring(held.view()), L"Red Apple (123)");
  EXPECT_EQ(variable.vt, VT_BSTR);
  EXPECT_STREQ(variable.bstrVal, L"Red Apple (123)");

  // sTargetPrefix (0), bDescriptionWithCode (2), CompareType (1), by name.
  put_list(list_.Get(), {L"apple", L"Banana", L"cherry (42)"});
  Var cherry(L"CHERRY");
  VARIANT_BOOL with_code = VARIANT_FALSE;
  Var by_cherry(VT_BYREF | VT_VARIANT, &cherry), flag(VT_BYREF | VT_BOOL, &with_code),
      compare_ref(VT_BYREF | VT_I4, &compare);
  ASSERT_EQ(call(L"lfnMatchingPrefixLocationServerChange", {&by_cherry, &flag, &compare_ref},
                 &result, {0, 2, 1})
                .hr,
            S_OK);
  EXPECT_EQ(std::pair(result.vt, result.lVal), std::pair(VARTYPE{VT_I4}, LONG{2}));
  EXPECT_EQ(cherry.vt, VT_BSTR);
  EXPECT_STREQ(cherry.bstrVal, L"cherry (42)");
  // sReplacementString (1) as a string by reference, lIndex (0) as a script's variable.
  Bstr replacement(L"banana");
  Var index_one(VT_I2, 1LL);
  Var by_text(VT_BYREF | VT_BSTR, replacement.cell()), by_index(VT_BYREF | VT_VARIANT, &index_one);
  EXPECT_EQ(call(L"ReplaceString", {&by_text, &by_index}, nullptr, {1, 0}).hr, S_OK);
  EXPECT_EQ(list_of(list_.Get()), (List{L"apple", L"banana", L"cherry (42)"}));

  // A string given by value for a by-reference parameter comes back as the
  // dispatcher left it, whether the trailing optional argument is given or
  // left out (then the arguments are adapted before the dispatcher sees
  // them); it is the caller's to clear.
  std::vector<std::tuple<VARTYPE, bool, std::wstring>> outcomes;
  for (UINT count : {3u, 2u}) {
    // Reversed: the optional flag, the compare type, the text.
    Var args[3] = {Var(VT_BOOL, 0LL), Var(VT_I4, 0LL), Var(L"CHERRY")}, result;
    const BSTR given = args[2].bstrVal;
    DISPPARAMS params{args + 3 - count, nullptr, count, 0};
    const DISPID member = id(L"lfnMatchingPrefixLocationServerChange");
    EXPECT_EQ(invoke(dispatch_.Get(), member, &params, &result).hr, S_OK);
    EXPECT_EQ(result.lVal, 2);
    const bool text = args[2].vt == VT_BSTR && args[2].bstrVal != nullptr;
    outcomes.emplace_back(args[2].vt, args[2].bstrVal == given, text ? args[2].bstrVal : L"");
  }
  EXPECT_EQ(outcomes[0], outcomes[1]);
}

// Calls no client can mean fail cleanly, and DISPPARAMS whose counts disagree
// with their arrays, or with a by-reference argument without its storage, are
// refused before the dispatcher reads them.
TEST_F(Client, MalformedCallsAreRefused) {
  const DISPID replace = id(L"ReplaceString");
  Var zero(VT_I4, 0LL), text(L"x"), nothing(VT_UNKNOWN, static_cast<void*>(nullptr)),
      no_text(VT_BYREF | VT_BSTR, nullptr), behind(VT_BYREF | VT_VARIANT, &no_text);
  Self self;
  // The member; rgvarg (copies of the bits: the references stay the same), and
  // whether DISPPARAMS has it; the names and their count; the HRESULT and the
  // argument-error cell.
  const std::tuple<DISPID, std::vector<VARIANT>, bool, std::vector<DISPID>, UINT, HRESULT, UINT>
      cases[] = {
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
  int row = 0;
  for (auto [member, args, with_array, names, named, hr, arg_error] : cases) {
    DISPPARAMS params{with_array ? args.data() : nullptr, names.empty() ? nullptr : names.data(),
                      static_cast<UINT>(args.size()), named};
    const Invoked got = invoke(dispatch_.Get(), member, &params);
    EXPECT_EQ(std::pair(got.hr, got.arg_error), std::pair(hr, arg_error)) << row++;
  }
  EXPECT_EQ(invoke(dispatch_.Get(), replace, nullptr, nullptr, DISPATCH_METHOD, IID_IDispatch).hr,
            DISP_E_UNKNOWNINTERFACE);
}

TEST(TypeLibrary, LibraryInterfaceClassAndAlias) {
  ComPtr<ITypeLib> library;
  ASSERT_EQ(LoadTypeLibEx(dll_path().c_str(), REGKIND_NONE, &library), S_OK);
  TLIBATTR* lib = nullptr;
  ASSERT_EQ(library->GetLibAttr(&lib), S_OK);
  EXPECT_TRUE(IsEqualGUID(lib->guid, LIBID_CorvaneV10) &&
              lib->wMajorVerNum * 10 + lib->wMinorVerNum == 41);
  library->ReleaseTLibAttr(lib);
  Bstr name;
  ASSERT_EQ(library->GetDocumentation(-1, name.cell(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(std::wstring(name.view()), L"CorvaneV10");

  // Each type's identity, kind, version, the flags it must have, and its name.
  const std::tuple<GUID, TYPEKIND, int, int, const wchar_t*> types[] = {
      {IID__clsStringList, TKIND_DISPATCH, 11,
       TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE,
       L"_clsStringList"},
      {CLSID_clsStringList, TKIND_COCLASS, 11, TYPEFLAG_FCANCREATE, L"clsStringList"},
      {kIID_v0, TKIND_ALIAS, 10, TYPEFLAG_FHIDDEN, L"clsStringList___v0"},
  };
  for (const auto& [guid, kind, version, flags, type] : types) {
    ComPtr<ITypeInfo> info, referred;
    ASSERT_EQ(library->GetTypeInfoOfGuid(guid, &info), S_OK);
    TYPEATTR* a = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&a), S_OK);
    EXPECT_EQ(
        std::tuple(a->typekind, a->wMajorVerNum * 10 + a->wMinorVerNum, a->wTypeFlags & flags),
        std::tuple(kind, version, flags));
    HREFTYPE ref = a->tdescAlias.hreftype;  // the interface the alias names
    info->ReleaseTypeAttr(a);
    INT impl_flags = IMPLTYPEFLAG_FDEFAULT;
    if (kind == TKIND_COCLASS) {  // the class's default interface
      ASSERT_EQ(info->GetImplTypeFlags(0, &impl_flags), S_OK);
      ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
    }
    EXPECT_NE(impl_flags & IMPLTYPEFLAG_FDEFAULT, 0);
    if (kind != TKIND_DISPATCH) {
      ASSERT_EQ(info->GetRefTypeInfo(ref, &referred), S_OK);
      ASSERT_EQ(referred->GetTypeAttr(&a), S_OK);
      EXPECT_TRUE(IsEqualIID(a->guid, IID__clsStringList));
      referred->ReleaseTypeAttr(a);
    }
    Bstr type_name, help;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, type_name.cell(), help.cell(), nullptr, nullptr),
              S_OK);
    EXPECT_EQ(std::wstring(type_name.view()), type);
    EXPECT_GT(help.view().size(), 20u) << type_name.view().size();
  }
}

// Object browsers show a line of help for the library and for every member.
TEST(TypeLibrary, HelpForTheLibraryAndEveryMember) {
  ComPtr<ITypeLib> library;
  ASSERT_EQ(LoadTypeLibEx(dll_path().c_str(), REGKIND_NONE, &library), S_OK);
  Bstr help;
  ASSERT_EQ(library->GetDocumentation(-1, nullptr, help.cell(), nullptr, nullptr), S_OK);
  EXPECT_GT(help.view().size(), 20u);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID__clsStringList, &info), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  const int members = attributes->cFuncs;
  info->ReleaseTypeAttr(attributes);
  EXPECT_EQ(members, 7 + 12);  // IDispatch's seven and the class's twelve
  for (int i = 7; i < members; ++i) {
    FUNCDESC* function = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &function), S_OK);
    Bstr name, line;
    EXPECT_EQ(info->GetDocumentation(function->memid, name.cell(), line.cell(), nullptr, nullptr),
              S_OK);
    info->ReleaseFuncDesc(function);
    EXPECT_GT(line.view().size(), 20u) << i;
  }
}

using Entry = HRESULT(STDAPICALLTYPE*)();

// One of the DLL's exports.
Entry export_of(HMODULE module, const char* name) {
  return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The resources: the list of the class's interfaces, the type library, the
// version. (Registration: registration_test.cpp.)
TEST(Dll, Resources) {
  HMODULE module = LoadLibraryW(dll_path().c_str());
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
  // The version: its fixed block follows the header and "VS_VERSION_INFO".
  found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
  ASSERT_NE(found, nullptr);
  const auto* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(
      static_cast<const BYTE*>(LockResource(LoadResource(module, found))) + 40);
  // The product's version, from the project's VERSION file.
  EXPECT_EQ(std::tuple(fixed->dwSignature, fixed->dwFileVersionMS, fixed->dwFileVersionLS,
                       fixed->dwProductVersionMS),
            std::tuple(0xFEEF04BDul,
                       static_cast<DWORD>(MAKELONG(CORVANE_VERSION_MINOR, CORVANE_VERSION_MAJOR)),
                       static_cast<DWORD>(MAKELONG(0, CORVANE_VERSION_PATCH)),
                       static_cast<DWORD>(MAKELONG(CORVANE_VERSION_MINOR, CORVANE_VERSION_MAJOR))));
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
      Bstr big(path.c_str());
      LONG level = 0;
      EXPECT_EQ(list->Init(big.cell(), big.cell(), big.cell(), &level), S_OK);
      put_list(list.Get(), {L"a", L"b"});
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
  EXPECT_EQ(list->ReplaceString(&index, text.cell()), S_OK);
  EXPECT_NE(read_file(log).find("No strings in StringList"), std::string::npos);
}

// The debugger object of the suite, created by programmatic identifier and
// called by name (the registered stand-in records the calls beside itself).
TEST(DebuggerObject, CreatedAndCalledByName) {
  const fs::path calls = fs::path(dll_path()).parent_path() / "clsDebug.calls";
  fs::remove(calls);
  corvane::modVBTrace::module_values().process_name = std::wstring(L"Corvane");
  EXPECT_TRUE(corvane::modVBTrace::DebuggerObjectInitialized());
  // The hang-dump request hands over the caller's variables themselves.
  corvane::platform::AutomationObjects::system().call(
      corvane::modVBTrace::module_values().debugger_object, L"DoHangDumpIfNecessary",
      {L" 91", L"m.r"}, corvane::platform::AutomationObjects::Passing::kByReference);
  EXPECT_EQ(read_file(calls),
            "Init Corvane\nParseErrorsToDiagnose\nDoHangDumpIfNecessary & 91 &m.r\n");
  fs::remove(calls);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
