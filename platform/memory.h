// Reading memory at an address a caller handed over, without trusting it:
// an address that cannot be read is reported, never dereferenced.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane::platform {

// Copies `bytes` bytes from `address` into `out`; false (and nothing read)
// when any of them cannot be read.
bool read_memory(std::uintptr_t address, void* out, std::size_t bytes);

}  // namespace corvane::platform
