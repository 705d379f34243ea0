// modVBoost: the apartment's memory-access object, whose three operations
// read, write and clear a pointer-sized value at an address. Reads take
// addresses from clients and never trust them: an address that cannot be
// read is an automation error, not a fault in the host.
#pragma once

#include <cstdint>

namespace corvane::modVBoost {

class MemoryAccess {
 public:
  // The value stored at `address`; raises -1 when it cannot be read.
  std::intptr_t read_value(std::intptr_t address) const;
  // Copies `bytes` bytes from `address` (RtlMoveMemory); raises -1 when any
  // of them cannot be read.
  void copy_from(std::intptr_t address, void* out, std::size_t bytes) const;
  // Stores `value` at `address` (the component's own cells only).
  void write_value(std::intptr_t address, std::intptr_t value) const;
  // Stores 0 at `address` (the component's own cells only).
  void zero_value(std::intptr_t address) const;
};

// Creates the apartment's object if it has none yet (Init does this).
void create_memory_access();
// The apartment's object, created on first use when nothing created it yet.
const MemoryAccess& memory_access();

}  // namespace corvane::modVBoost
