#include "string_list/com/dispatch_arguments.h"

namespace corvane::com {

namespace {

// The FUNCDESC of member `id` callable with `flags`, released by its owner.
class FunctionDescription {
 public:
  FunctionDescription(ITypeInfo* info, DISPID id, WORD flags) : info_(info) {
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) return;
    const WORD count = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    for (UINT i = 0; i < count && desc_ == nullptr; ++i) {
      FUNCDESC* candidate = nullptr;
      if (FAILED(info->GetFuncDesc(i, &candidate))) continue;
      if (candidate->memid == id && (candidate->invkind & flags) != 0) {
        desc_ = candidate;
      } else {
        info->ReleaseFuncDesc(candidate);
      }
    }
  }
  FunctionDescription(const FunctionDescription&) = delete;
  FunctionDescription& operator=(const FunctionDescription&) = delete;
  ~FunctionDescription() {
    if (desc_ != nullptr) info_->ReleaseFuncDesc(desc_);
  }
  const FUNCDESC* get() const { return desc_; }

 private:
  ITypeInfo* info_;
  FUNCDESC* desc_ = nullptr;
};

// Whether parameter `p` is optional without a recorded default and typed
// other than VARIANT, with the value type it expects.
bool optional_without_default(const FUNCDESC* desc, int p, VARTYPE* type) {
  const ELEMDESC& e = desc->lprgelemdescParam[p];
  const USHORT flags = e.paramdesc.wParamFlags;
  if ((flags & PARAMFLAG_FOPT) == 0 || (flags & PARAMFLAG_FHASDEFAULT) != 0) return false;
  const TYPEDESC& t = e.tdesc;
  *type = (t.vt == VT_PTR && t.lptdesc != nullptr) ? t.lptdesc->vt : t.vt;
  return *type != VT_VARIANT;
}

// The number of parameters a caller supplies (the return value excluded).
int caller_parameters(const FUNCDESC* desc) {
  int n = desc->cParams;
  if (n > 0 && (desc->lprgelemdescParam[n - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL) != 0) --n;
  return n;
}

// The value type behind a by-reference parameter (VT_BSTR for BSTR*), or
// VT_EMPTY when the parameter is not a typed by-reference one.
VARTYPE by_reference_type(const FUNCDESC* desc, int parameter) {
  if (parameter < 0 || parameter >= desc->cParams) return VT_EMPTY;
  const TYPEDESC& type = desc->lprgelemdescParam[parameter].tdesc;
  if (type.vt != VT_PTR || type.lptdesc == nullptr) return VT_EMPTY;
  const VARTYPE target = type.lptdesc->vt;
  return target == VT_VARIANT ? static_cast<VARTYPE>(VT_EMPTY) : target;
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
  FunctionDescription function(vtable, id, flags);
  const FUNCDESC* desc = function.get();
  if (desc == nullptr) return;

  // Trailing optional parameters without a default that the caller left out.
  std::vector<VARTYPE> omitted;
  if (params->cNamedArgs == 0) {
    for (int p = static_cast<int>(params->cArgs); p < caller_parameters(desc); ++p) {
      VARTYPE type = VT_EMPTY;
      if (!optional_without_default(desc, p, &type)) break;
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
    const VARTYPE wanted = by_reference_type(desc, parameter);
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
