// The arguments of a late-bound call, adapted for the standard dispatcher.
// Scripts pass a variable as a by-reference VARIANT, which the standard
// dispatcher refuses for a typed by-reference parameter (String, Long,
// Boolean). Such an argument is passed on as a by-reference value of the
// parameter's type that points into the script's variable, when the variable
// holds a value of that type: the member then reads and writes the variable
// itself, as a compiled client's by-reference argument would. A variable of
// another type that converts (a script's small integer for a Long) is passed
// as a converted copy, which the variable does not see changed, as a compiled
// client passes a temporary for a by-reference argument of another type.
// Everything else is passed on unchanged.
//
// An optional parameter that is not a VARIANT and has no default value
// recorded (lfnMatchingPrefixLocationServerChange's bDescriptionWithCode)
// would reach the member as whatever the standard dispatcher makes of a
// missing argument; when the caller leaves it out, it is passed as False
// (zero of its type), which is what an omitted argument means.
#pragma once

#include <memory>
#include <vector>

#include "automation/ole_types.h"
#include "automation/variant.h"

namespace corvane::com {

class DispatchArguments {
 public:
  DispatchArguments(ITypeInfo* vtable, DISPID id, WORD flags, DISPPARAMS* params);

  // Whether the counts of a caller's DISPPARAMS agree with its arrays: a
  // count without its array, or more names than arguments, would have the
  // dispatcher read memory the caller never gave. Null DISPPARAMS are left
  // to the dispatcher.
  static bool well_formed(const DISPPARAMS* params) {
    return params == nullptr || ((params->cArgs == 0 || params->rgvarg != nullptr) &&
                                 params->cNamedArgs <= params->cArgs &&
                                 (params->cNamedArgs == 0 || params->rgdispidNamedArgs != nullptr));
  }

  // The index in rgvarg of the first by-reference argument whose pointer is
  // null (directly or at the end of a chain of by-reference VARIANTs), or -1.
  // No client can mean such an argument, and the dispatcher would write
  // through the pointer.
  static int first_null_reference(const DISPPARAMS* params);

  DISPPARAMS* get() { return params_; }

  // After the call: the caller's arguments given by value get back what the
  // dispatcher left in them. For a by-reference parameter
  // given a value, the dispatcher writes the member's value back into the
  // argument (freeing the string it held); the caller must see that write,
  // not keep a string that is gone.
  void hand_back();

 private:
  DISPPARAMS* params_;
  DISPPARAMS* caller_ = nullptr;
  std::size_t first_caller_argument_ = 0;
  DISPPARAMS adapted_{};
  std::vector<VARIANTARG> arguments_;
  // Converted copies, one cell per argument so that pointers into them stay valid.
  std::unique_ptr<Variant[]> copies_;
};

}  // namespace corvane::com
