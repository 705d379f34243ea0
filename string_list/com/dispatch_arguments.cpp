#include "string_list/com/dispatch_arguments.h"

namespace corvane::com {

namespace {

// What the adaptation needs of one member's FUNCDESC.
struct Function {
  DISPID id = 0;
  INVOKEKIND kinds{};
  // The parameters a caller supplies (the return value excluded).
  int caller_parameters = 0;
  // Per parameter: the value type of an optional parameter without a
  // recorded default and typed other than VARIANT, else VT_EMPTY.
  std::vector<VARTYPE> optional_without_default;
  // Per parameter: the value type behind a typed by-reference parameter
  // (VT_BSTR for BSTR*), else VT_EMPTY.
  std::vector<VARTYPE> by_reference;
};

Function describe(const FUNCDESC& desc) {
  Function f;
  f.id = desc.memid;
  f.kinds = desc.invkind;
  f.caller_parameters = desc.cParams;
  if (f.caller_parameters > 0 &&
      (desc.lprgelemdescParam[f.caller_parameters - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL) !=
          0) {
    --f.caller_parameters;
  }
  for (int p = 0; p < desc.cParams; ++p) {
    const ELEMDESC& e = desc.lprgelemdescParam[p];
    const TYPEDESC& t = e.tdesc;
    const bool pointer = t.vt == VT_PTR && t.lptdesc != nullptr;
    const VARTYPE value = pointer ? t.lptdesc->vt : t.vt;
    const USHORT flags = e.paramdesc.wParamFlags;
    const bool no_default = (flags & PARAMFLAG_FOPT) != 0 && (flags & PARAMFLAG_FHASDEFAULT) == 0;
    f.optional_without_default.push_back(no_default && value != VT_VARIANT ? value
                                                                           : VARTYPE{VT_EMPTY});
    f.by_reference.push_back(pointer && value != VT_VARIANT ? value : VARTYPE{VT_EMPTY});
  }
  return f;
}

// Every member of the interface, in the type information's order.
std::vector<Function> describe_all(ITypeInfo* info) {
  std::vector<Function> all;
  TYPEATTR* attributes = nullptr;
  if (FAILED(info->GetTypeAttr(&attributes))) return all;
  const WORD count = attributes->cFuncs;
  info->ReleaseTypeAttr(attributes);
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* desc = nullptr;
    if (FAILED(info->GetFuncDesc(i, &desc))) continue;
    all.push_back(describe(*desc));
    info->ReleaseFuncDesc(desc);
  }
  return all;
}

// The members of the type information the calls come with, read once: the
// interface's type information never changes, and reading a FUNCDESC copies
// it each time.
const std::vector<Function>& members_of(ITypeInfo* info, std::vector<Function>& scratch) {
  struct Described {
    ITypeInfo* info;
    std::vector<Function> members;
  };
  static const Described first{info, describe_all(info)};
  if (first.info == info && !first.members.empty()) return first.members;
  scratch = describe_all(info);
  return scratch;
}

// The first member `id` callable with `flags`, as the dispatcher finds it.
const Function* find_member(const std::vector<Function>& members, DISPID id, WORD flags) {
  for (const Function& f : members) {
    if (f.id == id && (f.kinds & flags) != 0) return &f;
  }
  return nullptr;
}

VARTYPE by_reference_type(const Function& f, int parameter) {
  if (parameter < 0 || parameter >= static_cast<int>(f.by_reference.size())) return VT_EMPTY;
  return f.by_reference[static_cast<std::size_t>(parameter)];
}

}  // namespace

int DispatchArguments::first_null_reference(const DISPPARAMS* params) {
  if (params == nullptr || params->rgvarg == nullptr) return -1;
  for (UINT i = 0; i < params->cArgs; ++i) {
    const VARIANT* v = &params->rgvarg[i];
    for (int step = 0; step <= kMaxVariantIndirections && (v->vt & VT_BYREF) != 0; ++step) {
      if (v->byref == nullptr) return static_cast<int>(i);
      if (v->vt != (VT_BYREF | VT_VARIANT)) break;
      v = v->pvarVal;
    }
  }
  return -1;
}

DispatchArguments::DispatchArguments(ITypeInfo* vtable, DISPID id, WORD flags, DISPPARAMS* params)
    : params_(params) {
  if (params == nullptr) return;
  std::vector<Function> scratch;
  const Function* desc = find_member(members_of(vtable, scratch), id, flags);
  if (desc == nullptr) return;

  // Trailing optional parameters without a default that the caller left out.
  std::vector<VARTYPE> omitted;
  if (params->cNamedArgs == 0) {
    for (int p = static_cast<int>(params->cArgs); p < desc->caller_parameters; ++p) {
      const VARTYPE type = desc->optional_without_default[static_cast<std::size_t>(p)];
      if (type == VT_EMPTY) break;
      omitted.push_back(type);
    }
  }
  bool by_reference_variants = false;
  for (UINT i = 0; i < params->cArgs; ++i) {
    by_reference_variants =
        by_reference_variants || params->rgvarg[i].vt == (VT_BYREF | VT_VARIANT);
  }
  if (omitted.empty() && !by_reference_variants) return;

  // The omitted ones come first in reverse order, then the caller's.
  const UINT count = params->cArgs + static_cast<UINT>(omitted.size());
  copies_ = std::make_unique<Variant[]>(count);
  arguments_.reserve(count);
  for (auto type = omitted.rbegin(); type != omitted.rend(); ++type) {
    VARIANT zero;
    VariantInit(&zero);
    zero.vt = *type;  // a zero of any type has all bits clear
    arguments_.push_back(zero);
  }
  const std::size_t first = omitted.size();
  arguments_.insert(arguments_.end(), params->rgvarg, params->rgvarg + params->cArgs);
  for (UINT i = 0; i < params->cArgs; ++i) {
    VARIANTARG& argument = arguments_[first + i];
    if (argument.vt != (VT_BYREF | VT_VARIANT) || argument.pvarVal == nullptr) continue;
    // Named arguments come first and name their parameter; the positional
    // ones are in reverse order.
    const int parameter = i < params->cNamedArgs && params->rgdispidNamedArgs != nullptr
                              ? params->rgdispidNamedArgs[i]
                              : static_cast<int>(params->cArgs - 1 - i);
    const VARTYPE wanted = by_reference_type(*desc, parameter);
    // The same chain the members follow (a cycle ends after a few steps).
    VARIANT* variable = const_cast<VARIANT*>(&dereferenced(*argument.pvarVal));
    if (wanted == VT_EMPTY) continue;
    if (variable->vt == wanted) {
      argument.vt = VT_BYREF | wanted;
      argument.byref = &variable->lVal;  // the value's storage inside the variant
    } else if (variable->vt == (VT_BYREF | wanted)) {
      argument.vt = variable->vt;
      argument.byref = variable->byref;
    } else if (SUCCEEDED(VariantChangeType(copies_[i].put(), variable, 0, wanted))) {
      argument.vt = VT_BYREF | wanted;
      argument.byref = &copies_[i].get().lVal;
    }
  }
  adapted_ = *params;
  adapted_.rgvarg = arguments_.data();
  adapted_.cArgs = count;
  params_ = &adapted_;
  caller_ = params;
  first_caller_argument_ = first;
}

void DispatchArguments::hand_back() {
  if (caller_ == nullptr) return;
  // A by-reference VARIANT was either pointed at the variable it refers to
  // or passed on as it came; the dispatcher writes through it either way,
  // so only the others can have changed.
  for (UINT i = 0; i < caller_->cArgs; ++i) {
    if (caller_->rgvarg[i].vt != (VT_BYREF | VT_VARIANT)) {
      caller_->rgvarg[i] = arguments_[first_caller_argument_ + i];
    }
  }
}

}  // namespace corvane::com
