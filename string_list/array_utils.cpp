#include "string_list/array_utils.h"

#include "automation/error.h"
#include "string_list/memory_access.h"
#include "trace/error_trap.h"

namespace corvane::modArrayUtils {

namespace {

constexpr modVBTrace::ErrorTrap kCopyTrap =
    modVBTrace::raise_trap(OLESTR("in Corvane.modArrayUtils.CopyOfStringArrayDescriptor1D."));

constexpr USHORT kSharedFeatures = FADF_BSTR | FADF_FIXEDSIZE | FADF_AUTO;  // 0x0111

}  // namespace

SAFEARRAY CopyOfStringArrayDescriptor1D(std::intptr_t ppSA) {
  SAFEARRAY result{};
  modVBTrace::trapped(kCopyTrap, [&] {
    const modVBoost::MemoryAccess& memory = modVBoost::memory_access();
    const std::intptr_t pSA = memory.read_value(ppSA);
    if (pSA == 0) return;
    SAFEARRAY header{};
    memory.copy_from(pSA, &header, sizeof header);
    if ((header.fFeatures & FADF_BSTR) == 0 || header.cbElements != sizeof(BSTR)) {
      throw AutomationError(-1, OLESTR("Non string array descriptor passed to AssignStringList"));
    }
    // One bound is all the copy holds: a header of more dimensions would be
    // read past its end.
    if (header.cDims != 1) {
      throw AutomationError(
          -1, OLESTR("Array descriptor passed to AssignStringList is not one-dimensional"));
    }
    // The element storage must be readable at both ends.
    if (header.rgsabound[0].cElements != 0) {
      const auto data = reinterpret_cast<std::intptr_t>(header.pvData);
      memory.read_value(data);
      memory.read_value(data + static_cast<std::intptr_t>(header.rgsabound[0].cElements - 1) *
                                   static_cast<std::intptr_t>(sizeof(BSTR)));
    }
    result = header;
    result.fFeatures = kSharedFeatures;
  });
  return result;
}

}  // namespace corvane::modArrayUtils
