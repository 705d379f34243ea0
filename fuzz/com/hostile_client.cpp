// A hostile client of Corvane.dll, table-driven: random calls of every member
// of clsStringList, early-bound through the vtable and late-bound through
// IDispatch, with random arguments of every VARIANT type (by value and by
// reference, null, long and 10 MB strings, string arrays of 0, 1 and 2
// dimensions with bounds near the 32-bit limit), list boxes whose calls fail,
// unreadable addresses for AssignStringList, and malformed DISPPARAMS. What
// it checks needs no model of the list: the process survives without a
// fault, every HRESULT is one an automation client knows, a raised error
// carries its number and texts, a put reads back as many strings, no list
// box keeps a reference, and the private bytes of the process stay flat.
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

#include "CorvaneV10.h"

namespace {

// The pointer-sized integer of AssignStringList and ppStringListDescriptor,
// and addresses no process can read: the kernel's half, and (64-bit) the
// non-canonical hole or (32-bit) the half above a client's 2 GB.
#ifdef _WIN64
using Address = hyper;
constexpr VARTYPE kAddressType = VT_I8;
constexpr unsigned long long kKernelStart = 0xFFFF800000000000ull;
constexpr unsigned long long kAboveUserSpace = 0x0000800000000000ull;
#else
using Address = LONG;
constexpr VARTYPE kAddressType = VT_I4;
constexpr unsigned long long kKernelStart = 0xFFFF0000ull;
constexpr unsigned long long kAboveUserSpace = 0x80000000ull;
#endif

// Random choices, and the pointers a call passes, now and then null (then
// the call is no longer in the member's form).
struct Dice {
  explicit Dice(std::uint64_t seed) : random(seed) {}
  std::uint64_t next() { return random(); }
  int pick(std::uint64_t n) { return static_cast<int>(next() % n); }
  bool chance(int percent) { return pick(100) < percent; }
  const auto& one_of(const auto& items) { return items[pick(std::size(items))]; }
  auto* given(auto* p, int percent) { return chance(percent) ? (clean = false, nullptr) : p; }
  std::mt19937_64 random;
  bool clean = true;  // every argument given in the member's form
};

// An early-bound call: its arguments c[i] and result c.r() become what the
// member takes, the VARIANT itself, a pointer to it or to its value.
struct Call {
  struct Arg {
    Dice& dice;
    VARIANT* v;
    operator VARIANT() const { return *v; }
    operator VARIANT*() const { return dice.given(v, 3); }
    template <class T>
    operator T*() const {
      return dice.given(reinterpret_cast<T*>(&v->llVal), 3);
    }
  };
  Dice& dice;
  _clsStringList* o;
  VARIANT* const* a;
  VARIANT* result;
  Arg operator[](int i) const { return {dice, a[i]}; }
  Arg r() const { return {dice, result}; }
};

// A member: name, the kinds of all its arguments (T text, L long, B Boolean,
// V trace level, D, S, F detail log, summary log, log folder, A any value,
// X list box, @ address), DISPID, how a late-bound client calls it, the type
// of its result (VT_EMPTY: none), the arguments a late-bound client must
// pass, and its call through the vtable.
struct Member {
  const char *name, *kinds;
  DISPID id;
  WORD flags;
  VARTYPE result;
  int required;
  HRESULT (*early)(const Call&);
};
// clang-format off
#define MEMBER(f, id, flags, result, required, kinds, args) \
  {#f, kinds, id, flags, result, required, [](const Call& c) -> HRESULT { return c.o->f args; }}
// clang-format on
constexpr WORD kMethod = DISPATCH_METHOD, kGet = DISPATCH_PROPERTYGET, kPut = DISPATCH_PROPERTYPUT;
// In the order of their slots in the function table.
constexpr Member kMembers[] = {
    MEMBER(lfnMatchingPrefixLocation, 0x60030002, kMethod, VT_I4, 2, "TL", (c[0], c[1], c.r())),
    MEMBER(lfnFirstMatchingPrefix, 0x60030003, kMethod, VT_I4, 1, "T", (c[0], c.r())),
    MEMBER(lfnMatch, 0x60030004, kMethod, VT_I4, 1, "TB", (c[0], c[1], c.r())),
    MEMBER(get_StringList, 0x68030001, kGet, VT_ARRAY | VT_BSTR, 0, "", (c.r())),
    MEMBER(put_StringList, 0x68030001, kPut, VT_EMPTY, 1, "A", (c[0])),
    MEMBER(TransferVBListBoxToStringList, 0x60030008, kMethod, VT_EMPTY, 1, "X", (c[0])),
    MEMBER(Init, 0x60030009, kMethod, VT_EMPTY, 4, "DSFV", (c[0], c[1], c[2], c[3])),
    MEMBER(ReplaceString, 0x6003000A, kMethod, VT_EMPTY, 2, "LT", (c[0], c[1])),
    MEMBER(AssignStringList, 0x6003000B, kMethod, VT_EMPTY, 1, "@", (c[0])),
    MEMBER(get_ppStringListDescriptor, 0x68030000, kGet, kAddressType, 0, "", (c.r())),
    MEMBER(lfnMatchingPrefixLocationServerChange, 0x6003000C, kMethod, VT_I4, 2, "TLB",
           (c[0], c[1], c[2], c.r())),
    MEMBER(bfnDescriptionContainsCode, 0x60030013, kMethod, VT_BOOL, 1, "T", (c[0], c.r())),
};
#undef MEMBER
constexpr int kMemberCount = sizeof kMembers / sizeof kMembers[0];
enum { kMatch = 2, kGetList, kPutList, kInit = 6, kAssign = 8, kDescriptor, kContainsCode = 11 };

// The call under way, for the reports.
unsigned long long g_call = 0, g_first_fault_call = 0;
const char *g_member = "-", *g_mode = "";
long g_failures = 0, g_faults = 0;

void fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (++g_failures <= 25) std::printf("FAIL at call %llu (%s, %s): ", g_call, g_member, g_mode);
  if (g_failures <= 25) std::vprintf(format, args), std::printf("\n"), std::fflush(stdout);
  va_end(args);
}

// Faults that no call may raise, counted before any handler runs (one that
// a library catches inside counts as well); the first is reported at the end.
EXCEPTION_RECORD g_first_fault{};
LONG CALLBACK count_fault(EXCEPTION_POINTERS* pointers) {
  // Access violation, in-page error, illegal instruction, division by zero,
  // integer overflow, privileged instruction, array bounds, stack overflow,
  // heap corruption, stack buffer overrun; guard page, misalignment.
  static const DWORD kFaults[] = {0xC0000005, 0xC0000006, 0xC000001D, 0xC0000094,
                                  0xC0000095, 0xC0000096, 0xC000008C, 0xC00000FD,
                                  0xC0000374, 0xC0000409, 0x80000001, 0x80000002};
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  if (std::count(std::begin(kFaults), std::end(kFaults), record.ExceptionCode) > 0 &&
      InterlockedIncrement(&g_faults) == 1)
    g_first_fault = record, g_first_fault_call = g_call;
  return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI report_crash(EXCEPTION_POINTERS* pointers) {
  std::printf("CRASH: exception 0x%08lx at %p during call %llu (%s, %s)\n",
              pointers->ExceptionRecord->ExceptionCode, pointers->ExceptionRecord->ExceptionAddress,
              g_call, g_member, g_mode);
  std::fflush(stdout);
  return EXCEPTION_EXECUTE_HANDLER;
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

// A VARIANT that clears itself; an array of them lies as VARIANTs do.
struct Var {
  VARIANT v{};
  Var() = default;
  Var(Var&&) = delete;
  ~Var() { VariantClear(&v); }
};
static_assert(sizeof(Var) == sizeof(VARIANT));

// The strings a value hands to StringList put, through by-reference
// VARIANTs: a String() array's element count, else 0.
ULONG strings_in(const VARIANT* v) {
  for (int i = 0; i < 4 && v != nullptr && v->vt == (VT_BYREF | VT_VARIANT); ++i) v = v->pvarVal;
  const VARTYPE type = v == nullptr ? VARTYPE{VT_EMPTY} : v->vt;
  SAFEARRAY* a = type == (VT_ARRAY | VT_BSTR) ? v->parray : nullptr;
  if (type == (VT_BYREF | VT_ARRAY | VT_BSTR) && v->pparray != nullptr) a = *v->pparray;
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

class Fuzzer : Dice {
 public:
  explicit Fuzzer(std::uint64_t seed) : Dice(seed) {}

  int run(long calls) {
    VirtualFree(freed_, 4096, MEM_DECOMMIT);  // stays reserved: nothing else comes to live there
    CLSIDFromProgID(L"CorvaneTest.ListBox", &box_class_);
    int order[kMemberCount] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    SIZE_T warm = 0;
    // Rounds of 50 turns on a fresh object, every member once a turn in a
    // random order; the first round warms the memory check up.
    for (long turn = 0; turn < calls;) {
      std::error_code ignored;  // the logs grow with every call
      if (turn % 5000 == 0) std::filesystem::remove_all(folder_, ignored);
      std::filesystem::create_directories(folder_, ignored);
      if (FAILED(CoCreateInstance(CLSID_clsStringList, nullptr, CLSCTX_INPROC_SERVER,
                                  IID__clsStringList, reinterpret_cast<void**>(&list_))) ||
          FAILED(list_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_))))
        die("CorvaneV10.clsStringList");
      for (const long end = std::min(calls, turn + 50); turn < end; ++turn) {
        std::shuffle(order, order + kMemberCount, random);
        for (int m : order) call(m);
      }
      g_member = "-";
      dispatch_->Release();
      if (list_->Release() != 0) fail("the object outlived its last reference");
      shared_.clear();
      warm = warm == 0 ? private_bytes() : warm;
    }
    const SIZE_T end = private_bytes();
    std::printf("private bytes: %.1f MB after the first round, %.1f MB at the end\nfaults: %ld\n",
                warm / 1048576.0, end / 1048576.0, g_faults);
    // Flat: what the first round left may stay, and the heap's slack of 2 MB;
    // over the full count a leak of 2 bytes a call passes that.
    if (end > warm + 2 * 1048576) fail("private bytes grew by %.1f MB", (end - warm) / 1048576.0);
    if (g_faults > 0)
      fail("%ld faults, the first 0x%08lx at %p during call %llu", g_faults,
           g_first_fault.ExceptionCode, g_first_fault.ExceptionAddress, g_first_fault_call);
    std::filesystem::remove_all(folder_);
    return g_failures == 0 ? 0 : 1;
  }

 private:
  [[noreturn]] void die(const char* what) { std::printf("FAIL: no %s\n", what), std::exit(2); }
  VARIANT* keep() { return &bag_.emplace_back().v; }
  void expect(HRESULT hr, const wchar_t* text) { expected_ = hr, expected_text_ = text; }

  // A string: null, any code units, long, very long now and then, or words.
  void text(BSTR* b) {
    static const wchar_t* const kWords[] = {
        L"",         L"apple",      L"Banana",    L"Red Apple (123)",
        L"12345",    L" (5)",       L"A (1) (2)", L"007",
        L"-3",       L"1e3",        L"&H10",      L"\u00DF",
        L"(",        L"2147483648", L"1.5",       L"( )",
        L"Pears(77)"};
    const int kind = pick(8);  // 0: the null string
    std::wstring s(kind == 2 ? 257 + pick(300) : kind == 1 ? pick(12) : pick(5), L'q');
    // Past a 256-character buffer, and now and then 10 MB.
    if (kind == 2 && big_strings_left_ > 0 && pick(2000) == 0)
      s.assign(5 * 1024 * 1024, L'z'), --big_strings_left_;
    if (kind == 1 || kind == 3 || kind == 4)
      for (wchar_t& c : s) c = kind == 1 ? static_cast<wchar_t>(pick(0x10000)) : L"abAB"[pick(4)];
    if (kind > 4) s = one_of(kWords);
    *b = kind == 0 ? nullptr : SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  }

  // An array: of strings, or (any value) of longs or VARIANTs, or none;
  // one dimension from 0 mostly, else from bounds near both ends of the
  // 32-bit range, empty, or two-dimensional.
  void array(VARIANT* v, VARTYPE type) {
    static const LONG kLowerBounds[] = {
        1, -5, INT32_MAX, INT32_MAX - 1, INT32_MIN, INT32_MIN + 1, 1073741824};
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(chance(10) ? 0 : pick(40)), 0},
                                {static_cast<ULONG>(1 + pick(4)), chance(20) ? INT32_MAX - 1 : 0}};
    const UINT dims = chance(10) ? 2 : 1;
    if (dims == 2) bounds[0] = {static_cast<ULONG>(1 + pick(4)), pick(3) - 1};
    if (dims == 1 && chance(25)) bounds[0].lLbound = one_of(kLowerBounds);
    const std::int64_t room = std::int64_t{INT32_MAX} - bounds[0].lLbound + 1;  // to the last index
    bounds[0].cElements = static_cast<ULONG>(std::min<std::int64_t>(bounds[0].cElements, room));
    v->vt = VT_ARRAY | type;
    v->parray = type != VT_BSTR && chance(20) ? nullptr : SafeArrayCreate(type, dims, bounds);
    const ULONG count = bounds[0].cElements * (dims == 2 ? bounds[1].cElements : 1);
    for (ULONG i = 0; type == VT_BSTR && v->parray != nullptr && i < count; ++i)
      text(static_cast<BSTR*>(v->parray->pvData) + i);
  }

  // A fresh CorvaneTest.ListBox with a few items, now and then told to fail
  // its calls of ListCount and List after some of them (FailWith, then
  // FailAfter); one reference for the caller's VARIANT, one kept to count
  // the others.
  IDispatch* list_box() {
    static const LONG kFailures[] = {DISP_E_EXCEPTION, E_FAIL, DISP_E_MEMBERNOTFOUND, E_OUTOFMEMORY,
                                     DISP_E_TYPEMISMATCH};
    static const wchar_t* const kNames[] = {L"FailWith", L"FailAfter", L"AddItem"};
    IDispatch* box = nullptr;
    if (FAILED(CoCreateInstance(box_class_, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&box))))
      die("CorvaneTest.ListBox");
    boxes_.push_back(box);
    box->AddRef();
    const int items = pick(12), fail_after = chance(30) ? pick(14) : -1;
    for (int i = -2; i < items; ++i) {
      Var value;
      value.v.vt = VT_I4;
      value.v.lVal = i == -2 ? one_of(kFailures) : fail_after;
      if (i >= 0) value.v.vt = VT_BSTR, text(&value.v.bstrVal);
      auto* name = const_cast<LPOLESTR>(kNames[std::min(i + 2, 2)]);
      DISPID id = DISPID_UNKNOWN;
      DISPPARAMS params{&value.v, nullptr, 1, 0};
      if (FAILED(box->GetIDsOfNames(IID_NULL, &name, 1, 0, &id)) ||
          FAILED(box->Invoke(id, IID_NULL, 0, kMethod, &params, nullptr, nullptr, nullptr)))
        fail("the list box refused %ls", name);
    }
    return box;
  }

  // A VARIANT of any type, by value or by reference (the value in the bag).
  void any(VARIANT* v, int depth) {
    static const VARTYPE kScalars[] = {
        VT_EMPTY, VT_NULL, VT_I1, VT_UI1, VT_I2, VT_UI2,  VT_I4,   VT_UI4,   VT_I8,     VT_UI8,
        VT_INT,   VT_UINT, VT_R4, VT_R8,  VT_CY, VT_DATE, VT_BOOL, VT_ERROR, VT_DECIMAL};
    VARIANT* value = chance(30) ? keep() : v;
    const int kind = pick(depth > 1 ? 9 : 10);
    if (kind <= 1) value->vt = VT_BSTR, text(&value->bstrVal);
    if (kind >= 2 && kind <= 4) {
      value->vt = one_of(kScalars);
      value->ullVal = next() >> pick(64);
      if (value->vt == VT_ERROR && chance(70)) value->scode = DISP_E_PARAMNOTFOUND;  // missing
      if (value->vt == VT_R4) value->fltVal = 3.5f;
      if (value->vt == VT_R8 || value->vt == VT_DATE) value->dblVal = chance(50) ? 1e300 : 2.5;
      if (value->vt == VT_DECIMAL) value->decVal.scale = static_cast<BYTE>(pick(29));
    }
    if (kind == 5) value->vt = chance(50) ? VT_DISPATCH : VT_UNKNOWN;
    if (kind == 5) value->pdispVal = chance(50) ? nullptr : list_box();
    if (kind >= 6 && kind <= 8) array(value, kind < 8 ? VT_BSTR : chance(50) ? VT_I4 : VT_VARIANT);
    if (kind == 9) value->vt = VT_BYREF | VT_VARIANT, any(value->pvarVal = keep(), depth + 1);
    wild_ = true;
    if (value == v) return;
    refer(v, value);
    if (chance(10)) v->byref = nullptr;  // a reference without its storage
  }

  // An address for AssignStringList: none, the client's own String()
  // variable (with or without an array), the object's own descriptor; else
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
        chance(50) ? -1 : static_cast<Address>(kKernelStart + pick(4096)),
        static_cast<Address>(kAboveUserSpace + next() % 0x7FFF0000u),
        at(&header_cell)};
    Address a = one_of(unreadable);
    expect(-1, L"Unreadable memory address passed to AssignStringList: ");
    const int readable = pick(10);
    if (readable == 0) a = 0, expected_ = S_OK;
    if (readable == 1) list_->get_ppStringListDescriptor(&a), expected_ = S_FALSE;  // no 1-D list?
    if (readable >= 2 && readable <= 4) {
      VARIANT* cell = &shared_.emplace_back().v;  // lives as long as the object
      if (chance(80)) array(cell, VT_BSTR);
      a = at(&cell->parray);
      expected_ = cell->parray != nullptr && cell->parray->cDims == 2 ? S_FALSE : S_OK;
    }
    v->vt = kAddressType;
    std::memcpy(&v->llVal, &a, sizeof a);  // lVal or llVal, as wide as the build's pointer
  }

  void argument(char kind, VARIANT* v) {
    static const LONG kLongs[] = {0, 1, 2, -1, 65536, INT32_MAX, INT32_MIN, INT32_MAX - 1};
    v->vt = kind == 'B' ? VT_BOOL : VT_I4;
    if (kind == 'T') v->vt = VT_BSTR, text(&v->bstrVal);
    if (kind == 'L') v->lVal = chance(50) ? pick(42) - 1 : one_of(kLongs);
    if (kind == 'B')
      v->boolVal = static_cast<VARIANT_BOOL>(chance(40) ? -1 : chance(50) ? 0 : next());
    // Tracing now and then, never at level 4: its probes would flood the disk.
    if (kind == 'V') v->lVal = chance(10) ? 1 + pick(2) : -pick(100000);
    // Only the client's own folder, and always the folder where one goes: the
    // component shows a message box, whatever the flag, when it cannot write
    // its XML error log there.
    const wchar_t* file = kind == 'D'   ? L"\\hostile.log"
                          : kind == 'S' ? L"\\hostile-summary.log"
                                        : L"";
    if (kind == 'D' || kind == 'S' || kind == 'F')
      v->vt = VT_BSTR, v->bstrVal = SysAllocString((folder_.wstring() + file).c_str());
    if (kind == 'A') chance(60) ? array(v, VT_BSTR) : any(v, 0);
    if (kind == 'X' && chance(10)) any(v, 1);
    if (kind == 'X' && v->vt == VT_I4) v->vt = VT_DISPATCH, v->pdispVal = list_box();
    if (kind == '@') address(v);
  }

  // Through IDispatch: the member's arguments, trailing optional ones left
  // out now and then, each by value, by reference or in a by-reference
  // VARIANT; or (malformed) anything at all: any member or none, flags,
  // counts, types and named arguments, and null pointers where a caller may
  // pass them.
  HRESULT late(int m, VARIANT* const* a, VARIANT* r, EXCEPINFO** e) {
    const Member& member = kMembers[m];
    Var args[5];
    DISPID named[5] = {DISPID_PROPERTYPUT, 0, 1, 2, 3};
    DISPPARAMS params{&args[0].v, nullptr, 0, member.flags == kPut ? 1u : 0u};
    WORD flags = member.flags;
    DISPID id = member.id;
    malformed_ = chance(50);
    clean = !wild_ && !malformed_;
    if (!malformed_) {
      const auto count = std::strlen(member.kinds) - static_cast<std::size_t>(member.required);
      params.cArgs = static_cast<UINT>(member.required + pick(count + 1));
      for (UINT i = 0; i < params.cArgs; ++i) {
        VARIANT& arg = args[params.cArgs - 1 - i].v;
        const int form = (a[i]->vt & VT_BYREF) != 0 ? 0 : pick(3);
        if (form == 0) VariantCopy(&arg, a[i]);  // the dispatcher may write back into it
        if (form == 1) refer(&arg, a[i]);
        if (form == 2) arg.vt = VT_BYREF | VT_VARIANT, arg.pvarVal = a[i];
      }
    } else {
      static const WORD kFlags[] = {kMethod, kGet,  kMethod | kGet, kPut, DISPATCH_PROPERTYPUTREF,
                                    0,       0xFFFF};
      static const DISPID kOthers[] = {DISPID_VALUE, DISPID_UNKNOWN, DISPID_NEWENUM, 0x60030005,
                                       0x7FFFFFFF};
      flags = one_of(kFlags);
      if (chance(5)) id = one_of(kOthers);
      params.cArgs = static_cast<UINT>(pick(5));
      // Init keeps its paths and AssignStringList reads its address: they
      // get only their own kind of argument, or none.
      for (UINT i = 0; i < params.cArgs; ++i) {
        if (m != kInit && m != kAssign) any(&args[i].v, 0);
        if ((m == kInit || m == kAssign) && chance(70))
          argument(m == kInit ? 'F' : '@', &args[i].v);
      }
      for (DISPID& d : named) d = chance(10) ? pick(5) - 1 : d;
      params.cNamedArgs = static_cast<UINT>(chance(15) ? pick(params.cArgs + 1) : 0);
      if ((flags & (kPut | DISPATCH_PROPERTYPUTREF)) != 0) params.cNamedArgs = params.cArgs > 0;
      const int odd = params.cArgs > 0 && chance(3) ? pick(3) : -1;
      if (odd == 0) params.rgvarg = nullptr;                      // arguments counted but not given
      if (odd == 1) params.cNamedArgs = params.cArgs + 1;         // more names than arguments
      VARIANT& self = args[odd == 2 ? pick(params.cArgs) : 0].v;  // one that refers to itself
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
    if (!known(hr)) return fail("an HRESULT no client knows: 0x%08lx", hr);
    if (clean && expected_ == S_OK && hr != S_OK) return fail("0x%08lx", hr);
    const bool raised =
        late_bound ? e != nullptr && hr == DISP_E_EXCEPTION : FAILED(hr) && hr != E_POINTER;
    SCODE code = !raised ? S_OK : late_bound ? e->scode : hr;
    if (raised && code == 0) code = static_cast<SCODE>(0x800A0000u | e->wCode);  // a number only
    const std::wstring source = raised && e->bstrSource ? e->bstrSource : L"";
    const std::wstring description = raised && e->bstrDescription ? e->bstrDescription : L"";
    if (raised &&
        (source.empty() || description.empty() || code == static_cast<SCODE>(0x800A0000u)))
      return fail("error 0x%08lx without its number, source or description", code);
    if (clean && FAILED(expected_) &&
        (code != expected_ || description.rfind(expected_text_, 0) != 0))
      return fail("error 0x%08lx '%.80ls', expected 0x%08lx '%ls'", code, description.c_str(),
                  expected_, expected_text_);
    if (hr != S_OK || malformed_) return;
    if (r.vt != kMembers[m].result && !(m == kMatch && r.vt == VT_I2 && r.iVal == -1))
      return fail("a result of type 0x%x", r.vt);
    if (r.vt == VT_BOOL && r.boolVal != VARIANT_TRUE && r.boolVal != VARIANT_FALSE)
      fail("a Boolean result of %d", r.boolVal);
    if (m == kDescriptor && (kAddressType == VT_I8 ? r.llVal : r.lVal) == 0) fail("no descriptor");
  }

  void call(int m) {
    const Member& member = kMembers[m];
    ++g_call;
    g_member = member.name;
    VARIANT* a[4] = {};
    expected_ = S_OK;
    wild_ = malformed_ = false;
    clean = true;
    for (int i = 0; member.kinds[i] != '\0'; ++i) argument(member.kinds[i], a[i] = keep());
    if (m == kContainsCode && SysStringLen(a[0]->bstrVal) == 0)  // an empty description
      expect(0x800A0005, L"Invalid procedure call or argument");
    const ULONG put = m == kPutList ? strings_in(a[0]) : 0;
    Var result;
    EXCEPINFO exception{};
    EXCEPINFO* given = &exception;
    const bool late_bound = chance(35);
    g_mode = late_bound ? "late-bound" : "early-bound";
    SetErrorInfo(0, nullptr);
    if (!late_bound && m != kMatch && m != kGetList) result.v.vt = member.result;  // read as such
    const HRESULT hr =
        late_bound ? late(m, a, &result.v, &given) : member.early(Call{*this, list_, a, &result.v});
    IErrorInfo* info = nullptr;
    if (!late_bound && FAILED(hr) && GetErrorInfo(0, &info) == S_OK && info != nullptr)
      info->GetSource(&exception.bstrSource), info->GetDescription(&exception.bstrDescription),
          info->Release();
    check(m, hr, result.v, late_bound, given);
    for (BSTR b : {exception.bstrSource, exception.bstrDescription, exception.bstrHelpFile})
      SysFreeString(b);
    Var back;
    if (m == kPutList && hr == S_OK && !malformed_ &&
        (list_->get_StringList(&back.v) != S_OK || strings_in(&back.v) != put))
      fail("a put of %lu strings reads back %lu", put, strings_in(&back.v));
    bag_.clear();
    // A malformed call that the dispatcher refuses may leave a reference to
    // an object among its arguments behind (seen with a type mismatch); a
    // call of the member's form must not.
    for (IDispatch* box : boxes_)
      if (box->Release() != 0 && !malformed_) fail("a list box kept a reference");
    boxes_.clear();
  }

  std::filesystem::path folder_ = std::filesystem::temp_directory_path() / "corvane-hostile-client";
  _clsStringList* list_ = nullptr;
  IDispatch* dispatch_ = nullptr;
  CLSID box_class_{};
  // What one call's arguments hold and refer to; String() variables the
  // object may share.
  std::deque<Var> bag_, shared_;
  std::deque<IDispatch*> boxes_;  // the list boxes of one call, with a reference each
  // An argument of any type; a late-bound call out of the member's form.
  bool wild_ = false, malformed_ = false;
  HRESULT expected_ = S_OK;             // what a clean call gives; S_FALSE: not known
  const wchar_t* expected_text_ = L"";  // the start of its error's description
  int big_strings_left_ = 3;
  // A page never committed, and one that run() decommits.
  BYTE *no_access_ = page(nullptr, 4096, MEM_RESERVE), *freed_ = page(nullptr, 4096, MEM_COMMIT);
  // The last 8 bytes of a readable page before a no-access one.
  BYTE* guarded_ = page(page(nullptr, 8192, MEM_RESERVE), 4096, MEM_COMMIT) + 4088;
};

}  // namespace

int main(int argc, char** argv) {
  unsigned long long seed = 20261206;
  long calls = 100000;
  for (int i = 1; i < argc; ++i)
    std::sscanf(argv[i], "--seed=%llu", &seed), std::sscanf(argv[i], "--calls=%ld", &calls);
  if (const char* full = std::getenv("CORVANE_HOSTILE_CALLS")) std::sscanf(full, "%ld", &calls);
  std::printf("hostile client: seed %llu, %ld calls per member\n", seed, calls);
  std::fflush(stdout);
  SetUnhandledExceptionFilter(report_crash);
  AddVectoredExceptionHandler(1, count_fault);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int rc = Fuzzer(seed).run(calls);
  CoUninitialize();
  std::printf(rc == 0 ? "hostile client: all checks passed\n" : "hostile client: FAILED\n");
  return rc;
}
