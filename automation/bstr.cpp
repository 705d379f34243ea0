#include "automation/bstr.h"

#include <limits>

#include "automation/error.h"

namespace corvane {

Bstr::Bstr(OleStringView text) {
  if (text.size() > std::numeric_limits<UINT>::max() / 2)
    throw AutomationError(vb_error::kOutOfMemory);
  p_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (p_ == nullptr) throw AutomationError(vb_error::kOutOfMemory);
}

}  // namespace corvane
