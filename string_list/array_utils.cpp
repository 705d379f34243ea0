#include "string_list/array_utils.h"

#include <cstdint>
#include <string>

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
    // The element storage must be readable at both ends. The offset of the
    // last element is counted wide: in a 32-bit process a large count would
    // otherwise wrap around to an address that can be read.
    if (header.rgsabound[0].cElements != 0) {
      const auto data = reinterpret_cast<std::uintptr_t>(header.pvData);
      const std::uint64_t last = (std::uint64_t{header.rgsabound[0].cElements} - 1) * sizeof(BSTR);
      if (last > std::uint64_t{UINTPTR_MAX} - data) {
        const std::string digits = std::to_string(static_cast<std::intptr_t>(data));
        OleString description = OLESTR("Unreadable memory address passed to AssignStringList: ");
        description.append(digits.begin(), digits.end());
        throw AutomationError(-1, std::move(description));
      }
      memory.read_value(static_cast<std::intptr_t>(data));
      memory.read_value(static_cast<std::intptr_t>(data + static_cast<std::uintptr_t>(last)));
    }
    result = header;
    result.fFeatures = kSharedFeatures;
  });
  return result;
}

}  // namespace corvane::modArrayUtils
