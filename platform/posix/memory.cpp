#include "platform/memory.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

namespace corvane::platform {

namespace {

// The kernel reads the memory for us through a pipe: an unreadable address
// fails the write with EFAULT instead of a fault in this process.
bool read_through_pipe(std::uintptr_t address, void* out, std::size_t bytes) {
  int ends[2];
  if (::pipe(ends) != 0) return false;
  bool ok = true;
  auto* target = static_cast<char*>(out);
  for (std::size_t done = 0; ok && done < bytes;) {
    const std::size_t chunk = bytes - done < 4096 ? bytes - done : 4096;
    ok = ::write(ends[1], reinterpret_cast<const void*>(address + done), chunk) ==
             static_cast<ssize_t>(chunk) &&
         ::read(ends[0], target + done, chunk) == static_cast<ssize_t>(chunk);
    done += chunk;
  }
  ::close(ends[0]);
  ::close(ends[1]);
  return ok;
}

}  // namespace

bool read_memory(std::uintptr_t address, void* out, std::size_t bytes) {
  if (bytes == 0) return true;
  iovec local{out, bytes};
  iovec remote{reinterpret_cast<void*>(address), bytes};
  const ssize_t n = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
  if (n == static_cast<ssize_t>(bytes)) return true;
  if (n < 0 && (errno == ENOSYS || errno == EPERM)) return read_through_pipe(address, out, bytes);
  return false;
}

}  // namespace corvane::platform
