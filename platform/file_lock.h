// A lock that the processes sharing a file take around a read-modify-write of
// it, so that no process reads the file between another one's read and its
// write (the session statistics' counters). Nothing is added beside the
// file, and the file may be replaced by a new one while the lock is held:
// the lock is named after the file's path, on Windows a mutex, elsewhere an
// exclusive lock on a file of that name in the user's runtime folder
// ($XDG_RUNTIME_DIR, else /tmp). Either one is let go of when its holder
// ends, however it ends.
#pragma once

#include <cstdint>

#include "automation/ole_types.h"

namespace corvane::platform {

class SharedFileLock {
 public:
  // Waits at most `limit_ms` for the lock. A holder that hangs must not hang
  // the others: past the limit the lock is not held and the caller goes on
  // without it. An empty path locks nothing.
  SharedFileLock(OleStringView file, std::uint32_t limit_ms);
  ~SharedFileLock();
  SharedFileLock(const SharedFileLock&) = delete;
  SharedFileLock& operator=(const SharedFileLock&) = delete;

  bool held() const { return held_; }

 private:
  std::intptr_t handle_ = 0;  // 0: nothing open
  bool held_ = false;
};

// The name of the lock for a file: the same for every spelling of the path
// that differs only in case or in the kind of slash, and never longer than a
// kernel object's name may be. On Windows it is the mutex's name, elsewhere
// the lock file's without the "Local\\" namespace.
OleString file_lock_name(OleStringView file);

}  // namespace corvane::platform
