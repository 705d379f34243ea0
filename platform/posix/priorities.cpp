#include "platform/priorities.h"

#include <atomic>

namespace corvane::platform {

namespace {

// The pseudo-handles Windows uses for the caller's process and thread.
constexpr std::intptr_t kCurrentProcess = -1;
constexpr std::intptr_t kCurrentThread = -2;
constexpr std::uint32_t kNormalPriorityClass = 32;

std::atomic<std::uint32_t> g_process_class{kNormalPriorityClass};
thread_local std::int32_t t_thread_level = 0;

class PosixPriorities final : public Priorities {
 public:
  std::intptr_t current_process() override { return kCurrentProcess; }
  std::intptr_t current_thread() override { return kCurrentThread; }
  std::uint32_t priority_class(std::intptr_t process) override {
    return process == kCurrentProcess ? g_process_class.load() : 0;
  }
  bool set_priority_class(std::intptr_t process, std::uint32_t priority_class) override {
    if (process != kCurrentProcess) return false;
    g_process_class = priority_class;
    return true;
  }
  std::int32_t thread_priority(std::intptr_t thread) override {
    return thread == kCurrentThread ? t_thread_level : kThreadPriorityError;
  }
  bool set_thread_priority(std::intptr_t thread, std::int32_t level) override {
    if (thread != kCurrentThread) return false;
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
