#include "platform/file_lock.h"

namespace corvane::platform {

SharedFileLock::SharedFileLock(OleStringView file, std::uint32_t limit_ms) {
  if (file.empty()) return;
  const OleString name = file_lock_name(file);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) return;
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  // An abandoned mutex (its holder ended while holding it) is ours now.
  const DWORD waited = WaitForSingleObject(mutex, limit_ms);
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

SharedFileLock::~SharedFileLock() {
  if (handle_ == 0) return;
  HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
  if (held_) ReleaseMutex(mutex);
  CloseHandle(mutex);
}

}  // namespace corvane::platform
