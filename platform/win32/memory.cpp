#include "platform/memory.h"

#include "automation/ole_types.h"

namespace corvane::platform {

namespace {

// Whether every page of the range is committed and readable, as the memory
// manager describes it now.
bool readable(std::uintptr_t address, std::size_t bytes) {
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  const std::uintptr_t end = address + bytes;
  if (end < address) return false;
  for (std::uintptr_t at = address; at < end;) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<LPCVOID>(at), &info, sizeof info) != sizeof info)
      return false;
    if (info.State != MEM_COMMIT || (info.Protect & kReadable) == 0 ||
        (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) {
      return false;
    }
    at = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
  }
  return true;
}

}  // namespace

bool read_memory(std::uintptr_t address, void* out, std::size_t bytes) {
  if (bytes == 0) return true;
  if (!readable(address, bytes)) return false;
  // The system copies, so that memory freed since the question is a failed
  // call rather than a fault.
  SIZE_T read = 0;
  return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(address), out, bytes,
                           &read) != 0 &&
         read == bytes;
}

}  // namespace corvane::platform
