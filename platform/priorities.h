// Scheduling priority of a process (its priority class) and of a thread (its
// priority level), with Windows' values. Handles are those of the system;
// current_process() and current_thread() are the pseudo-handles of the
// caller.
//
// Linux has no priority classes: there the layer keeps the class of this
// process and the level of each thread that the component set, and answers
// with them (normal until set), so that the readings behave as on Windows.
#pragma once

#include <cstdint>

#include "platform/replaceable.h"

namespace corvane::platform {

class Priorities : public Replaceable<Priorities> {
 public:
  virtual ~Priorities() = default;
  virtual std::intptr_t current_process() = 0;
  virtual std::intptr_t current_thread() = 0;
  // GetPriorityClass: 0 when the handle names no process.
  virtual std::uint32_t priority_class(std::intptr_t process) = 0;
  virtual bool set_priority_class(std::intptr_t process, std::uint32_t priority_class) = 0;
  // GetThreadPriority: kThreadPriorityError when the handle names no thread.
  virtual std::int32_t thread_priority(std::intptr_t thread) = 0;
  virtual bool set_thread_priority(std::intptr_t thread, std::int32_t level) = 0;

  static constexpr std::int32_t kThreadPriorityError = 0x7FFFFFFF;

  static Priorities& system();
};

}  // namespace corvane::platform
