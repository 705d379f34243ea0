// modArrayUtils: the copy of a caller's array descriptor that lets the string
// list read the caller's strings in place.
#pragma once

#include <cstdint>

#include "automation/ole_types.h"

namespace corvane::modArrayUtils {

// The header (one bound) of the array held by the variable at `ppSA`, with
// its feature flags set to FADF_BSTR | FADF_FIXEDSIZE | FADF_AUTO (0x0111);
// all zero when the variable holds no array. Raises -1 "Non string array
// descriptor passed to AssignStringList" for an array of anything but
// strings, and -1 for an array that is not one-dimensional or an address that
// cannot be read.
SAFEARRAY CopyOfStringArrayDescriptor1D(std::intptr_t ppSA);

}  // namespace corvane::modArrayUtils
