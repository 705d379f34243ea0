#include "platform/priorities.h"

#include "automation/ole_types.h"

namespace corvane::platform {

namespace {

HANDLE as_handle(std::intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

class Win32Priorities final : public Priorities {
 public:
  std::intptr_t current_process() override {
    return reinterpret_cast<std::intptr_t>(GetCurrentProcess());
  }
  std::intptr_t current_thread() override {
    return reinterpret_cast<std::intptr_t>(GetCurrentThread());
  }
  std::uint32_t priority_class(std::intptr_t process) override {
    return GetPriorityClass(as_handle(process));
  }
  bool set_priority_class(std::intptr_t process, std::uint32_t priority_class) override {
    return SetPriorityClass(as_handle(process), priority_class) != 0;
  }
  std::int32_t thread_priority(std::intptr_t thread) override {
    return GetThreadPriority(as_handle(thread));
  }
  bool set_thread_priority(std::intptr_t thread, std::int32_t level) override {
    return SetThreadPriority(as_handle(thread), level) != 0;
  }
};

}  // namespace

Priorities& Priorities::system() {
  static Win32Priorities priorities;
  return priorities;
}

}  // namespace corvane::platform
