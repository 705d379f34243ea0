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

DispatchArguments::DispatchArguments(ITypeInfo* vtable, DISPID id, WORD flags, DISPPARAMS* params)
    : params_(params) {
  if (params == nullptr || params->cArgs == 0 || params->rgvarg == nullptr) return;
  bool needed = false;
  for (UINT i = 0; i < params->cArgs; ++i) {
    needed = needed || params->rgvarg[i].vt == (VT_BYREF | VT_VARIANT);
  }
  if (!needed) return;
  FunctionDescription function(vtable, id, flags);
  if (function.get() == nullptr) return;

  arguments_.assign(params->rgvarg, params->rgvarg + params->cArgs);
  copies_ = std::make_unique<Variant[]>(params->cArgs);
  for (UINT i = 0; i < params->cArgs; ++i) {
    VARIANTARG& argument = arguments_[i];
    if (argument.vt != (VT_BYREF | VT_VARIANT) || argument.pvarVal == nullptr) continue;
    // Named arguments come first and name their parameter; the positional
    // ones are in reverse order.
    const int parameter = i < params->cNamedArgs && params->rgdispidNamedArgs != nullptr
                              ? params->rgdispidNamedArgs[i]
                              : static_cast<int>(params->cArgs - 1 - i);
    const VARTYPE wanted = by_reference_type(function.get(), parameter);
    VARIANT* variable = argument.pvarVal;
    while (variable->vt == (VT_BYREF | VT_VARIANT) && variable->pvarVal != nullptr) {
      variable = variable->pvarVal;
    }
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
  params_ = &adapted_;
}

}  // namespace corvane::com
