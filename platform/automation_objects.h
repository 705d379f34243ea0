// Objects of other components, created by programmatic identifier and called
// late-bound by member name (the debugger object of the suite).
#pragma once

#include <cstdint>
#include <vector>

#include "automation/ole_types.h"
#include "platform/replaceable.h"

namespace corvane::platform {

class AutomationObjects : public Replaceable<AutomationObjects> {
 public:
  virtual ~AutomationObjects() = default;
  // A new object (an opaque reference, never 0); raises 429 "ActiveX
  // component can't create object" when the identifier names no class here.
  virtual std::intptr_t create(OleStringView prog_id) = 0;
  // How the string arguments travel: as values, or as references to
  // variables of the caller (which the method may change; the changes are
  // dropped).
  enum class Passing { kByValue, kByReference };
  // Calls a method by name with string arguments; raises what it raises.
  virtual void call(std::intptr_t object, OleStringView method,
                    const std::vector<OleString>& arguments, Passing passing) = 0;

  static AutomationObjects& system();
};

}  // namespace corvane::platform
