// A hostile client of Corvane.dll, table-driven: random calls of every member
// of clsStringList, early-bound through the function table and late-bound
// through IDispatch, with random arguments of every VARIANT type (by value and
// by reference, null, long and 10 MB strings, string arrays of 0, 1 and 2
// dimensions with bounds near the 32-bit limit), list boxes whose calls fail,
// unreadable addresses for AssignStringList, and malformed DISPPARAMS. What it
// checks needs no model of the list: the process survives without a fault,
// every HRESULT is one an automation client knows, a raised error carries its
// number and texts, a put reads back as many strings, no list box keeps a
// reference, the object goes with its last reference, and the private bytes
// of the process stay flat.
//
//   corvane_com_hostile_client [--seed=N] [--calls=N]
//
// --calls is the number of calls per member (100,000 unless given);
// CORVANE_HOSTILE_CALLS in the environment overrides it. The seed is printed
// first: the same seed and count replay a run. Corvane.dll and the stand-ins
// (CorvaneTest.ListBox) must be registered, "NoMsgBox.flg" beside the DLL.
#include <ole2.h>
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>

#include "CorvaneV10.h"
#include "automation/variant.h"

namespace {

// The pointer-sized integer of AssignStringList and ppStringListDescriptor,
// and addresses no process can read: the kernel's half, and (64-bit) the
// non-canonical hole or (32-bit) the half above a client's 2 GB.
using Address = LONG_PTR;
constexpr VARTYPE kAddressType = sizeof(void*) == 8 ? VT_I8 : VT_I4;
constexpr unsigned long long kKernel = sizeof(void*) == 8 ? 0xFFFF800000000000ull : 0xFFFF0000ull;
constexpr unsigned long long kAboveUser = sizeof(void*) == 8 ? 0x800000000000ull : 0x80000000ull;

// The members in the order of their slots in the function table (7 + the
// index): name, DISPID, how a late-bound client calls it, the arguments it
// must be given, the kinds of all its arguments (T text, L long, B Boolean, V
// trace level, D, S, F detail log, summary log, log folder, A any value,
// X list box, @ address) and the type of its result (VT_EMPTY: none).
constexpr WORD kMethod = DISPATCH_METHOD, kGet = DISPATCH_PROPERTYGET, kPut = DISPATCH_PROPERTYPUT;
constexpr std::tuple<const char*, DISPID, WORD, int, const char*, VARTYPE> kMembers[] = {
    {"lfnMatchingPrefixLocation", 0x60030002, kMethod, 2, "TL", VT_I4},
    {"lfnFirstMatchingPrefix", 0x60030003, kMethod, 1, "T", VT_I4},
    {"lfnMatch", 0x60030004, kMethod, 1, "TB", VT_I4},
    {"get_StringList", 0x68030001, kGet, 0, "", VT_ARRAY | VT_BSTR},
    {"put_StringList", 0x68030001, kPut, 1, "A", VT_EMPTY},
    {"TransferVBListBoxToStringList", 0x60030008, kMethod, 1, "X", VT_EMPTY},
    {"Init", 0x60030009, kMethod, 4, "DSFV", VT_EMPTY},
    {"ReplaceString", 0x6003000A, kMethod, 2, "LT", VT_EMPTY},
    {"AssignStringList", 0x6003000B, kMethod, 1, "@", VT_EMPTY},
    {"get_ppStringListDescriptor", 0x68030000, kGet, 0, "", kAddressType},
    {"lfnMatchingPrefixLocationServerChange", 0x6003000C, kMethod, 2, "TLB", VT_I4},
    {"bfnDescriptionContainsCode", 0x60030013, kMethod, 1, "T", VT_BOOL},
};
enum { kMatch = 2, kGetList, kPutList, kInit = 6, kAssign = 8, kContainsCode = 11 };

// The call under way, for the reports.
unsigned long long g_call = 0;
const char *g_member = "-", *g_mode = "";
long g_failures = 0, g_faults = 0;

void fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (++g_failures <= 25) std::printf("FAIL at call %llu (%s, %s): ", g_call, g_member, g_mode);
  if (g_failures <= 25) std::vprintf(format, args), std::printf("\n"), std::fflush(stdout);
  va_end(args);
}

// Faults no call may raise, counted before any handler runs (one that a
// library catches inside counts as well), the first reported at once:
// access violation, in-page error, illegal instruction, division by zero,
// integer overflow, privileged instruction, array bounds, stack overflow,
// heap corruption, stack buffer overrun; guard page, misalignment.
LONG CALLBACK count_fault(EXCEPTION_POINTERS* pointers) {
  static const DWORD kFaults[] = {0xC0000005, 0xC0000006, 0xC000001D, 0xC0000094,
                                  0xC0000095, 0xC0000096, 0xC000008C, 0xC00000FD,
                                  0xC0000374, 0xC0000409, 0x80000001, 0x80000002};
  const EXCEPTION_RECORD& r = *pointers->ExceptionRecord;
  if (std::count(std::begin(kFaults), std::end(kFaults), r.ExceptionCode) > 0 &&
      InterlockedIncrement(&g_faults) == 1)
    fail("exception 0x%08lx at %p", r.ExceptionCode, r.ExceptionAddress);
  return EXCEPTION_CONTINUE_SEARCH;
}

// The private bytes of the process: its committed private memory (wine's
// process counters report none).
SIZE_T private_bytes() {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (const BYTE* at = nullptr;
       VirtualQuery(at, &region, sizeof region) == sizeof region && region.RegionSize != 0;
       at = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize)
    total += region.State == MEM_COMMIT && region.Type == MEM_PRIVATE ? region.RegionSize : 0;
  return total;
}

// HRESULTs an automation client knows: success, the dispatcher's errors,
// the common COM ones, and the runtime's error numbers (with -1, the number
// AssignStringList raises).
bool known(HRESULT hr) {
  const auto code = static_cast<std::uint32_t>(hr);
  return hr == S_OK || (code >= 0x80020001u && code <= 0x80020012u) || hr == E_INVALIDARG ||
         hr == E_POINTER || hr == E_OUTOFMEMORY || hr == E_NOTIMPL || (code >> 16) == 0x800Au ||
         hr == static_cast<HRESULT>(-1);
}

// An array of VARIANT owners lies as VARIANTs do.
using Var = corvane::Variant;
static_assert(sizeof(Var) == sizeof(VARIANT));

// The strings a value hands to StringList put, through by-reference
// VARIANTs: a String() array's element count, else 0.
ULONG strings_in(const VARIANT* v) {
  for (int i = 0; i < 4 && v != nullptr && v->vt == (VT_BYREF | VT_VARIANT); ++i) v = v->pvarVal;
  SAFEARRAY* a = v != nullptr && v->vt == (VT_ARRAY | VT_BSTR) ? v->parray : nullptr;
  if (v != nullptr && v->vt == (VT_BYREF | VT_ARRAY | VT_BSTR) && v->pparray != nullptr)
    a = *v->pparray;
  ULONG count = a == nullptr || a->cDims == 0 ? 0 : 1;
  for (UINT d = 0; a != nullptr && d < a->cDims; ++d) count *= a->rgsabound[d].cElements;
  return count;
}

// `v` refers to `value`: to its storage, or to a by-reference VARIANT itself.
void refer(VARIANT* v, VARIANT* value) {
  v->vt = VT_BYREF | value->vt;
  v->byref = value->vt == VT_DECIMAL ? static_cast<void*>(&value->decVal) : &value->llVal;
  if (value->vt == (VT_BYREF | VT_VARIANT)) v->pvarVal = value;
}

// A page of memory (reserved pages cannot be read).
BYTE* page(void* at, SIZE_T size, DWORD type) {
  return static_cast<BYTE*>(
      VirtualAlloc(at, size, type, type == MEM_RESERVE ? PAGE_NOACCESS : PAGE_READWRITE));
}

class Fuzzer {
 public:
  explicit Fuzzer(std::uint64_t seed) : random_(seed) {}

  // Rounds of 50 turns on a fresh object, every member once a turn in a
  // random order; the first round warms the memory check up.
  int run(long calls) {
    VirtualFree(freed_, 4096, MEM_DECOMMIT);  // stays reserved: nothing else comes to live there
    CLSIDFromProgID(L"CorvaneTest.ListBox", &box_class_);
    int order[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    SIZE_T warm = 0;
    for (long turn = 0; turn < calls;) {
      std::error_code ignored;  // the logs grow with every call
      if (turn % 5000 == 0) std::filesystem::remove_all(folder_, ignored);
      std::filesystem::create_directories(folder_, ignored);
      if (FAILED(CoCreateInstance(CLSID_clsStringList, nullptr, CLSCTX_INPROC_SERVER,
                                  IID__clsStringList, reinterpret_cast<void**>(&list_))) ||
          FAILED(list_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_))))
        die("CorvaneV10.clsStringList");
      for (const long end = std::min(calls, turn + 50); turn < end; ++turn) {
        std::shuffle(std::begin(order), std::end(order), random_);
        for (int m : order) call(m);
      }
      g_member = "-";
      dispatch_->Release();
      if (list_->Release() != 0) fail("the object outlived its last reference");
      shared_.clear();
      warm = warm == 0 ? private_bytes() : warm;
    }
    // Flat: what the first round left may stay, and the heap's slack of 2 MB;
    // over the full count a leak of 2 bytes a call passes that.
    if (const SIZE_T end = private_bytes(); end > warm + 2 * 1048576)
      fail("private bytes grew from %.1f MB to %.1f MB", warm / 1048576.0, end / 1048576.0);
    if (g_faults > 0) fail("%ld faults, the first reported above", g_faults);
    std::filesystem::remove_all(folder_);
    return g_failures == 0 ? 0 : 1;
  }

 private:
  std::uint64_t next() { return random_(); }
  int pick(std::uint64_t n) { return static_cast<int>(next() % n); }
  bool chance(int percent) { return pick(100) < percent; }
  const auto& one_of(const auto& items) { return items[pick(std::size(items))]; }
  // A pointer a call passes, now and then null: the call is then out of the member's form.
  auto* given(auto* p, int percent) { return chance(percent) ? (clean_ = false, nullptr) : p; }
  VARIANT* keep() { return &bag_.emplace_back().get(); }
  [[noreturn]] void die(const char* what) { fail("no %s", what), std::exit(2); }

  // A string: null, any code units, long (past a 256-character buffer, and
  // now and then 10 MB), or words.
  BSTR text() {
    static const wchar_t* const kWords[] = {
        L"",    L"apple", L"Red Apple (123)", L" (5)", L"A (1) (2)",  L"007", L"-3",
        L"1e3", L"&H10",  L"\u00DF",          L"(",    L"2147483648", L"( )", L"Pears(77)"};
    const int kind = pick(8);  // 0: the null string
    std::wstring s(kind == 2 ? 257 + pick(300) : kind == 1 ? pick(12) : pick(5), L'q');
    if (kind == 2 && big_strings_left_ > 0 && pick(2000) == 0)
      s.assign(5 * 1024 * 1024, L'z'), --big_strings_left_;
    if (kind == 1 || kind == 3 || kind == 4)
      for (wchar_t& c : s) c = kind == 1 ? static_cast<wchar_t>(pick(0x10000)) : L"abAB"[pick(4)];
    if (kind > 4) s = one_of(kWords);
    return kind == 0 ? nullptr : SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  }

  // A fresh CorvaneTest.ListBox with a few items, now and then told to fail
  // its calls of ListCount and List after some of them (FailWith, then
  // FailAfter: the stand-in's DISPIDs 5 and 4; AddItem 3); one reference for
  // the caller's VARIANT, one kept to count the others.
  IDispatch* list_box() {
    static const LONG kFailures[] = {DISP_E_EXCEPTION, E_FAIL, DISP_E_MEMBERNOTFOUND, E_OUTOFMEMORY,
                                     DISP_E_TYPEMISMATCH};
    IDispatch* box = nullptr;
    if (FAILED(CoCreateInstance(box_class_, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&box))))
      die("CorvaneTest.ListBox");
    boxes_.push_back(box), box->AddRef();
    const int items = pick(12), fail_after = chance(30) ? pick(14) : -1;
    for (int i = -2; i < items; ++i) {
      Var value;
      value.get().vt = VT_I4, value.get().lVal = i == -2 ? one_of(kFailures) : fail_after;
      if (i >= 0) value.get().vt = VT_BSTR, value.get().bstrVal = text();
      DISPPARAMS params{&value.get(), nullptr, 1, 0};
      if (FAILED(box->Invoke(i < 0 ? 3 - i : 3, IID_NULL, 0, kMethod, &params, nullptr, nullptr,
                             nullptr)))
        fail("the list box refused call %d", i);
    }
    return box;
  }

  // One generator for every argument: a value of a member's kind (see
  // kMembers), or of these: 'a' any VARIANT, by value or by reference (the
  // value in the bag); 's' a string array, 'r' an array of longs or VARIANTs
  // or none (one dimension from 0 mostly, else from bounds near both ends of
  // the 32-bit range, empty, or two dimensions).
  void value(char kind, VARIANT* v, int depth = 0) {
    static const LONG kLongs[] = {0, 1, 2, -1, 65536, INT32_MAX, INT32_MIN, INT32_MAX - 1};
    static const LONG kLowerBounds[] = {
        1, -5, INT32_MAX, INT32_MAX - 1, INT32_MIN, INT32_MIN + 1, 1073741824};
    static const VARTYPE kScalars[] = {
        VT_EMPTY, VT_NULL, VT_I1, VT_UI1, VT_I2, VT_UI2,  VT_I4,   VT_UI4,   VT_I8,     VT_UI8,
        VT_INT,   VT_UINT, VT_R4, VT_R8,  VT_CY, VT_DATE, VT_BOOL, VT_ERROR, VT_DECIMAL};
    // Only the client's own folder, and always the folder where one goes: the
    // component shows a message box, whatever the flag, when it cannot write
    // its XML error log there.
    static const char kLogs[] = "DSF";
    static const wchar_t* const kFiles[] = {L"\\hostile.log", L"\\hostile-summary.log", L""};
    v->vt = kind == 'B' ? VT_BOOL : VT_I4;
    if (kind == 'T') v->vt = VT_BSTR, v->bstrVal = text();
    if (kind == 'L') v->lVal = chance(50) ? pick(42) - 1 : one_of(kLongs);
    if (kind == 'B')
      v->boolVal = static_cast<VARIANT_BOOL>(chance(40) ? -1 : chance(50) ? 0 : next());
    // Tracing now and then, never at level 4: its probes would flood the disk.
    if (kind == 'V') v->lVal = chance(10) ? 1 + pick(2) : -pick(100000);
    if (const char* log = std::strchr(kLogs, kind); log != nullptr && kind != '\0')
      v->vt = VT_BSTR,
      v->bstrVal = SysAllocString((folder_.wstring() + kFiles[log - kLogs]).c_str());
    if (kind == 'A') value(chance(60) ? 's' : 'a', v);
    if (kind == 'X' && chance(10)) value('a', v, 1);
    if (kind == 'X' && v->vt == VT_I4) v->vt = VT_DISPATCH, v->pdispVal = list_box();
    if (kind == '@') address(v);
    if (kind == 's' || kind == 'r') {
      const VARTYPE type = kind == 's' ? VT_BSTR : chance(50) ? VT_I4 : VT_VARIANT;
      const UINT dims = chance(10) ? 2 : 1;
      SAFEARRAYBOUND bounds[2] = {
          {static_cast<ULONG>(chance(10) ? 0 : pick(40)), 0},
          {static_cast<ULONG>(1 + pick(4)), chance(20) ? INT32_MAX - 1 : 0}};
      if (dims == 2) bounds[0] = {static_cast<ULONG>(1 + pick(4)), pick(3) - 1};
      if (dims == 1 && chance(25)) bounds[0].lLbound = one_of(kLowerBounds);
      const std::int64_t room = std::int64_t{INT32_MAX} - bounds[0].lLbound + 1;  // up to INT32_MAX
      bounds[0].cElements = static_cast<ULONG>(std::min<std::int64_t>(bounds[0].cElements, room));
      v->vt = VT_ARRAY | type;
      v->parray = type != VT_BSTR && chance(20) ? nullptr : SafeArrayCreate(type, dims, bounds);
      const ULONG count = bounds[0].cElements * (dims == 2 ? bounds[1].cElements : 1);
      for (ULONG i = 0; type == VT_BSTR && v->parray != nullptr && i < count; ++i)
        static_cast<BSTR*>(v->parray->pvData)[i] = text();
    }
    if (kind != 'a') return;
    VARIANT* held = chance(30) ? keep() : v;
    const int form = pick(depth > 1 ? 9 : 10);
    if (form <= 1) held->vt = VT_BSTR, held->bstrVal = text();
    if (form >= 2 && form <= 4) {
      held->vt = one_of(kScalars);
      held->ullVal = next() >> pick(64);
      if (held->vt == VT_ERROR && chance(70)) held->scode = DISP_E_PARAMNOTFOUND;  // missing
      if (held->vt == VT_R4) held->fltVal = 3.5f;
      if (held->vt == VT_R8 || held->vt == VT_DATE) held->dblVal = chance(50) ? 1e300 : 2.5;
      if (held->vt == VT_DECIMAL) held->decVal.scale = static_cast<BYTE>(pick(29));
    }
    if (form == 5) held->vt = chance(50) ? VT_DISPATCH : VT_UNKNOWN;
    if (form == 5) held->pdispVal = chance(50) ? nullptr : list_box();
    if (form >= 6 && form <= 8) value(form < 8 ? 's' : 'r', held);
    if (form == 9) held->vt = VT_BYREF | VT_VARIANT, value('a', held->pvarVal = keep(), depth + 1);
    wild_ = true;
    if (held == v) return;
    refer(v, held);
    if (chance(10)) v->byref = nullptr;  // a reference without its storage
  }

  // An address for AssignStringList: none, the client's own String()
  // variable (with or without an array), the object's own descriptor (which
  // gives a list of one dimension back); else
  // one that cannot be read: low, decommitted, reserved, a pointer's read
  // into a no-access page, the kernel's, above the user space, or a string
  // header whose storage cannot be read or ends too soon.
  void address(VARIANT* v) {
    static SAFEARRAY header{1, FADF_BSTR, sizeof(BSTR), 0, nullptr, {}};
    static SAFEARRAY* header_cell = &header;
    header.pvData = chance(50) ? no_access_ : guarded_;
    header.rgsabound[0] = {chance(50) ? 0xFFFFFFFFu : 2u + pick(1000), chance(50) ? 0 : INT32_MAX};
    auto at = [](const void* p) { return reinterpret_cast<Address>(p); };
    const Address unreadable[] = {
        1 + pick(65535),
        at(freed_) + pick(4096),
        at(no_access_) + pick(4096),
        at(guarded_) + 9 - Address{sizeof(void*)} + pick(sizeof(void*) - 1),
        chance(50) ? -1 : static_cast<Address>(kKernel + pick(4096)),
        static_cast<Address>(kAboveUser + next() % 0x7FFF0000u),
        at(&header_cell)};
    Address a = one_of(unreadable);
    expected_ = -1, expected_text_ = L"Unreadable memory address passed to AssignStringList: ";
    const int readable = pick(10);
    if (readable == 0) a = 0, expected_ = S_OK;
    Var now;
    if (readable == 1 && list_->get_ppStringListDescriptor(&a) == S_OK &&
        list_->get_StringList(&now.get()) == S_OK)
      expected_ = now.get().parray != nullptr && now.get().parray->cDims == 1 ? S_OK : S_FALSE;
    if (readable >= 2 && readable <= 4) {
      VARIANT* cell = &shared_.emplace_back().get();  // lives as long as the object
      if (chance(80)) value('s', cell);
      a = at(&cell->parray);
      expected_ = cell->parray != nullptr && cell->parray->cDims == 2 ? S_FALSE : S_OK;
    }
    v->vt = kAddressType;
    std::memcpy(&v->llVal, &a, sizeof a);  // lVal or llVal, as wide as the build's pointer
  }

  // Through the function table, as a compiled client calls: a pointer to
  // each argument's value (to the VARIANT itself for a list box and for the
  // VARIANT results of lfnMatch and StringList), now and then null, and a
  // put's VARIANT by value.
  HRESULT early(int m, VARIANT* const* a, VARIANT* r) {
    const auto& [name, id, flags, required, kinds, result] = kMembers[m];
    const UINT arguments = static_cast<UINT>(std::strlen(kinds));
    const UINT count = arguments + (result != VT_EMPTY ? 1 : 0);
    VARIANT pointers[5] = {}, hr{};
    VARIANT* args[5] = {};
    VARTYPE types[5] = {};
    for (UINT i = 0; i < count; ++i) {
      const char kind = kinds[i];  // '\0': the result
      VARIANT* v = i < arguments ? a[i] : r;
      const bool whole = kind == 'X' || (kind == '\0' && (m == kMatch || m == kGetList));
      types[i] = pointers[i].vt = kind == 'A' ? VT_VARIANT : VT_BYREF | VT_UI1;
      pointers[i].byref = given(whole ? static_cast<void*>(v) : &v->llVal, 3);
      args[i] = kind == 'A' ? v : &pointers[i];
    }
    const HRESULT called =
        DispCallFunc(list_, (7 + m) * sizeof(void*), CC_STDCALL, VT_I4, count, types, args, &hr);
    if (FAILED(called)) die("call through the function table");
    return hr.lVal;
  }

  // Through IDispatch: the member's arguments, trailing optional ones left
  // out now and then, each by value, by reference or in a by-reference
  // VARIANT; or (malformed) anything at all: any member or none, flags,
  // counts, types and named arguments, and null pointers where a caller may
  // pass them.
  HRESULT late(int m, VARIANT* const* a, VARIANT* r, EXCEPINFO** e) {
    static const WORD kFlags[] = {kMethod, kGet,  kMethod | kGet, kPut, DISPATCH_PROPERTYPUTREF,
                                  0,       0xFFFF};
    static const DISPID kOthers[] = {DISPID_VALUE, DISPID_UNKNOWN, DISPID_NEWENUM, 0x60030005,
                                     0x7FFFFFFF};
    const auto& [name, member_id, member_flags, required, kinds, result] = kMembers[m];
    Var args[5];
    DISPID named[5] = {DISPID_PROPERTYPUT, 0, 1, 2, 3};
    DISPPARAMS params{&args[0].get(), nullptr, 0, member_flags == kPut ? 1u : 0u};
    malformed_ = chance(50);
    clean_ = !wild_ && !malformed_;
    const WORD flags = malformed_ ? one_of(kFlags) : member_flags;
    const DISPID id = malformed_ && chance(5) ? one_of(kOthers) : member_id;
    const int optional = static_cast<int>(std::strlen(kinds)) - required;
    params.cArgs = static_cast<UINT>(malformed_ ? pick(5) : required + pick(optional + 1));
    for (UINT i = 0; i < params.cArgs && !malformed_; ++i) {
      VARIANT& arg = args[params.cArgs - 1 - i].get();
      const int form = (a[i]->vt & VT_BYREF) != 0 ? 0 : pick(3);
      if (form == 0) VariantCopy(&arg, a[i]);  // the dispatcher may write back into it
      if (form == 1) refer(&arg, a[i]);
      if (form == 2) arg.vt = VT_BYREF | VT_VARIANT, arg.pvarVal = a[i];
    }
    if (malformed_) {
      // Init keeps its paths and AssignStringList reads its address: they
      // get only their own kind of argument, or none.
      for (UINT i = 0; i < params.cArgs; ++i)
        if ((m != kInit && m != kAssign) || chance(70))
          value(m == kInit ? 'F' : m == kAssign ? '@' : 'a', &args[i].get());
      for (DISPID& d : named) d = chance(10) ? pick(5) - 1 : d;
      params.cNamedArgs = static_cast<UINT>(chance(15) ? pick(params.cArgs + 1) : 0);
      if ((flags & (kPut | DISPATCH_PROPERTYPUTREF)) != 0) params.cNamedArgs = params.cArgs > 0;
      const int odd = params.cArgs > 0 && chance(3) ? pick(3) : -1;
      if (odd == 0) params.rgvarg = nullptr;               // arguments counted but not given
      if (odd == 1) params.cNamedArgs = params.cArgs + 1;  // more names than arguments
      VARIANT& self = args[odd == 2 ? pick(params.cArgs) : 0].get();  // one that refers to itself
      if (odd == 2) VariantClear(&self), self.vt = VT_BYREF | VT_VARIANT, self.pvarVal = &self;
    }
    if (params.cNamedArgs > 0) params.rgdispidNamedArgs = named;
    const int null_chance = malformed_ ? 5 : 0;
    *e = given(*e, null_chance);
    UINT arg_error = 0;
    return dispatch_->Invoke(id, malformed_ && chance(3) ? IID_IDispatch : IID_NULL,
                             LOCALE_USER_DEFAULT, flags, given(&params, null_chance),
                             given(r, null_chance), *e, given(&arg_error, null_chance));
  }

  // What needs no model of the list. A raised error comes in `e`: to a
  // late-bound client in the EXCEPINFO, from an early-bound one's error info.
  void check(int m, HRESULT hr, const VARIANT& r, bool late_bound, const EXCEPINFO* e) {
    const bool raised =
        late_bound ? e != nullptr && hr == DISP_E_EXCEPTION : FAILED(hr) && hr != E_POINTER;
    SCODE code = !raised ? S_OK : late_bound ? e->scode : hr;
    if (raised && code == 0) code = static_cast<SCODE>(0x800A0000u | e->wCode);  // a number only
    const std::wstring source = raised && e->bstrSource ? e->bstrSource : L"";
    const std::wstring description = raised && e->bstrDescription ? e->bstrDescription : L"";
    if (!known(hr)) return fail("an HRESULT no client knows: 0x%08lx", hr);
    if (clean_ && expected_ == S_OK && hr != S_OK)
      return fail("0x%08lx '%.80ls'", hr, description.c_str());
    if (raised && (source.empty() || description.empty() || code == SCODE(0x800A0000u)))
      return fail("error 0x%08lx without its number, source or description", code);
    if (clean_ && FAILED(expected_) &&
        (code != expected_ || source != L"CorvaneV10.clsStringList" ||
         description.rfind(expected_text_, 0) != 0))
      return fail("error 0x%08lx '%.80ls', expected 0x%08lx '%ls'", code, description.c_str(),
                  expected_, expected_text_);
    if (hr != S_OK || malformed_) return;
    if (r.vt != std::get<5>(kMembers[m]) && !(m == kMatch && r.vt == VT_I2 && r.iVal == -1))
      return fail("a result of type 0x%x", r.vt);
  }

  void call(int m) {
    const auto& [name, id, flags, required, kinds, result_type] = kMembers[m];
    ++g_call, g_member = name;
    VARIANT* a[4] = {};
    expected_ = S_OK, wild_ = malformed_ = false, clean_ = true;
    for (int i = 0; kinds[i] != '\0'; ++i) value(kinds[i], a[i] = keep());
    if (m == kContainsCode && SysStringLen(a[0]->bstrVal) == 0)  // an empty description
      expected_ = 0x800A0005,
      expected_text_ = L"Invalid procedure call or argument\r\nRaised at line ";
    const ULONG put = m == kPutList ? strings_in(a[0]) : 0;
    Var result, back;
    EXCEPINFO exception{};
    EXCEPINFO* given = &exception;
    const bool late_bound = chance(35);
    g_mode = late_bound ? "late-bound" : "early-bound";
    SetErrorInfo(0, nullptr);
    // Early-bound, a result that is not a VARIANT is read as its type, and
    // starts as all ones, which a raised error leaves.
    const bool preset = !late_bound && m != kMatch && m != kGetList;
    if (preset) result.get().vt = result_type, result.get().llVal = -1;
    const HRESULT hr = late_bound ? late(m, a, &result.get(), &given) : early(m, a, &result.get());
    IErrorInfo* info = nullptr;
    GUID guid{};
    const bool informed =
        !late_bound && FAILED(hr) && GetErrorInfo(0, &info) == S_OK && info != nullptr;
    if (informed)
      info->GetSource(&exception.bstrSource), info->GetDescription(&exception.bstrDescription),
          info->GetGUID(&guid), info->Release();
    if (informed &&
        (!IsEqualGUID(guid, IID__clsStringList) || (preset && result.get().llVal != -1)))
      fail("an error of another interface, or a result set with it");
    check(m, hr, result.get(), late_bound, given);
    for (BSTR b : {exception.bstrSource, exception.bstrDescription, exception.bstrHelpFile})
      SysFreeString(b);
    if (m == kPutList && hr == S_OK && !malformed_ &&
        (list_->get_StringList(&back.get()) != S_OK || strings_in(&back.get()) != put))
      fail("a put of %lu strings reads back %lu", put, strings_in(&back.get()));
    bag_.clear();
    // A malformed call that the dispatcher refuses may leave a reference to
    // an object among its arguments behind (seen with a type mismatch); a
    // call of the member's form must not.
    for (IDispatch* box : boxes_)
      if (box->Release() != 0 && !malformed_) fail("a list box kept a reference");
    boxes_.clear();
  }

  std::mt19937_64 random_;
  std::filesystem::path folder_ = std::filesystem::temp_directory_path() / "corvane-hostile-client";
  _clsStringList* list_ = nullptr;
  IDispatch* dispatch_ = nullptr;
  CLSID box_class_{};
  // What one call's arguments hold and refer to; String() variables the
  // object may share; the list boxes of one call, with a reference each.
  std::deque<Var> bag_, shared_;
  std::deque<IDispatch*> boxes_;
  // Every argument given in the member's form; one of any type; a late-bound
  // call out of the member's form.
  bool clean_ = true, wild_ = false, malformed_ = false;
  HRESULT expected_ = S_OK;             // what a clean call gives; S_FALSE: not known
  const wchar_t* expected_text_ = L"";  // the start of its error's description
  int big_strings_left_ = 3;
  // A page never committed, one that run() decommits, and the last 8 bytes
  // of a readable page before a no-access one.
  BYTE *no_access_ = page(nullptr, 4096, MEM_RESERVE), *freed_ = page(nullptr, 4096, MEM_COMMIT);
  BYTE* guarded_ = page(page(nullptr, 8192, MEM_RESERVE), 4096, MEM_COMMIT) + 4088;
};

}  // namespace

int main(int argc, char** argv) {
  unsigned long long seed = 20261206;
  long calls = 100000;
  for (int i = 1; i < argc; ++i)
    std::sscanf(argv[i], "--seed=%llu", &seed), std::sscanf(argv[i], "--calls=%ld", &calls);
  if (const char* full = std::getenv("CORVANE_HOSTILE_CALLS")) std::sscanf(full, "%ld", &calls);
  std::printf("hostile client: seed %llu, %ld calls per member\n", seed, calls),
      std::fflush(stdout);
  AddVectoredExceptionHandler(1, count_fault);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int rc = Fuzzer(seed).run(calls);
  CoUninitialize();
  std::printf(rc == 0 ? "hostile client: all checks passed\n" : "hostile client: FAILED\n");
  return rc;
}
