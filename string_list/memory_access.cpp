#include "string_list/memory_access.h"

#include <cstring>
#include <optional>

#include "automation/error.h"
#include "platform/memory.h"
#include "platform/thread_values.h"

namespace corvane::modVBoost {

namespace {

struct ApartmentObject {
  std::optional<MemoryAccess> object;
};

std::optional<MemoryAccess>& apartment_object() {
  return platform::ThreadValues::get<ApartmentObject>().object;
}

[[noreturn]] void unreadable(std::intptr_t address) {
  OleString description = OLESTR("Unreadable memory address passed to AssignStringList: ");
  const std::string digits = std::to_string(address);
  description.append(digits.begin(), digits.end());
  throw AutomationError(-1, std::move(description));
}

}  // namespace

std::intptr_t MemoryAccess::read_value(std::intptr_t address) const {
  std::intptr_t value = 0;
  copy_from(address, &value, sizeof value);
  return value;
}

void MemoryAccess::copy_from(std::intptr_t address, void* out, std::size_t bytes) const {
  if (!platform::read_memory(static_cast<std::uintptr_t>(address), out, bytes)) unreadable(address);
}

void MemoryAccess::write_value(std::intptr_t address, std::intptr_t value) const {
  std::memcpy(reinterpret_cast<void*>(address), &value, sizeof value);
}

void MemoryAccess::zero_value(std::intptr_t address) const {
  write_value(address, 0);
}

void create_memory_access() {
  std::optional<MemoryAccess>& object = apartment_object();
  if (!object) object.emplace();
}

const MemoryAccess& memory_access() {
  create_memory_access();
  return *apartment_object();
}

}  // namespace corvane::modVBoost
