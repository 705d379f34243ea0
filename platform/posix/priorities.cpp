// Priorities on Linux, which has no priority classes. Windows computes a
// thread's scheduling priority from its process's class and its own level;
// here both are mapped onto the nice value of the calling thread:
//
//   class     IDLE 64 -> +19, BELOW_NORMAL 16384 -> +5, NORMAL 32 -> 0,
//             ABOVE_NORMAL 32768 -> -5, HIGH 128 -> -10, REALTIME 256 -> -20
//   level     IDLE -15 -> +19, LOWEST -2 -> +4, BELOW_NORMAL -1 -> +2,
//             NORMAL 0 -> 0, ABOVE_NORMAL 1 -> -2, HIGHEST 2 -> -4,
//             TIME_CRITICAL 15 -> -20 (other levels: twice their value)
//
// and the sum, clamped to -20..19, becomes the thread's nice value
// (setpriority on the thread id). Raising priority needs the right to
// (CAP_SYS_NICE): when the system refuses, the call fails, as a refused
// SetPriorityClass does. The readings answer with the class and level set
// last (Linux cannot tell the two apart in one nice value); a class change
// reaches the calling thread at once and each other thread at its next
// level change.
#include "platform/priorities.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

namespace corvane::platform {

namespace {

// The pseudo-handles Windows uses for the caller's process and thread.
constexpr std::intptr_t kCurrentProcess = -1;
constexpr std::intptr_t kCurrentThread = -2;
constexpr std::uint32_t kNormalPriorityClass = 32;

std::atomic<std::uint32_t> g_process_class{kNormalPriorityClass};
thread_local std::int32_t t_thread_level = 0;

int class_nice(std::uint32_t priority_class) {
  switch (priority_class) {
    case 64:
      return 19;
    case 16384:
      return 5;
    case 32768:
      return -5;
    case 128:
      return -10;
    case 256:
      return -20;
    default:
      return 0;
  }
}

int level_nice(std::int32_t level) {
  switch (level) {
    case -15:
      return 19;
    case 15:
      return -20;
    default:
      return -2 * level;
  }
}

bool apply(std::uint32_t priority_class, std::int32_t level) {
  const int nice = std::clamp(class_nice(priority_class) + level_nice(level), -20, 19);
  const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
  return ::setpriority(PRIO_PROCESS, thread, nice) == 0;
}

class PosixPriorities final : public Priorities {
 public:
  std::intptr_t current_process() override { return kCurrentProcess; }
  std::intptr_t current_thread() override { return kCurrentThread; }
  std::uint32_t priority_class(std::intptr_t process) override {
    return process == kCurrentProcess ? g_process_class.load() : 0;
  }
  bool set_priority_class(std::intptr_t process, std::uint32_t priority_class) override {
    const bool known = priority_class == kNormalPriorityClass || class_nice(priority_class) != 0;
    if (process != kCurrentProcess || !known) return false;  // another process, or no such class
    if (!apply(priority_class, t_thread_level)) return false;
    g_process_class = priority_class;
    return true;
  }
  std::int32_t thread_priority(std::intptr_t thread) override {
    return thread == kCurrentThread ? t_thread_level : kThreadPriorityError;
  }
  bool set_thread_priority(std::intptr_t thread, std::int32_t level) override {
    if (level < -15 || level > 15) return false;
    if (thread > 0) {  // another process's first thread: its pid (see processes.cpp)
      return ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread),
                           std::clamp(level_nice(level), -20, 19)) == 0;
    }
    if (thread != kCurrentThread) return false;
    if (!apply(g_process_class.load(), level)) return false;
    t_thread_level = level;
    return true;
  }
};

}  // namespace

Priorities& Priorities::system() {
  static PosixPriorities priorities;
  return priorities;
}

}  // namespace corvane::platform
