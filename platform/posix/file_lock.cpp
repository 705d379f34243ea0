#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "automation/vb_text.h"

namespace corvane::platform {

SharedFileLock::SharedFileLock(OleStringView file, std::uint32_t limit_ms) {
  if (file.empty()) return;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const OleString name = file_lock_name(file);
  const std::string path = std::string(runtime != nullptr && *runtime != '\0' ? runtime : "/tmp") +
                           "/" + to_utf8(OleStringView(name).substr(name.find(u'\\') + 1)) +
                           ".lock";
  // Read access is enough for flock, and lets a lock file that another
  // account made be used.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  handle_ = fd + 1;
  // flock has no time limit of its own: ask without waiting, and wait a
  // little longer each time up to a millisecond, until the limit has passed.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  auto pause = std::chrono::microseconds(50);
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      held_ = true;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return;
    if (std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(1000));
  }
}

SharedFileLock::~SharedFileLock() {
  if (handle_ == 0) return;
  // Closing the descriptor lets go of the lock.
  ::close(static_cast<int>(handle_ - 1));
}

}  // namespace corvane::platform
