#include "priority/priority_sdk.h"

#include "automation/vb_text.h"
#include "platform/priorities.h"
#include "trace/error_trap.h"
#include "trace/summary_log.h"
#include "trace/trace_log.h"

namespace corvane::modPrioritySDK {

namespace {

using modVBTrace::errmsgbox_trap;
using modVBTrace::ErrorTrap;

constexpr ErrorTrap kSetNormalTrap =
    errmsgbox_trap(OLESTR("in Corvane.modPrioritySDK.SetNormalPriority."), 4097);
constexpr ErrorTrap kSetClassTrap =
    errmsgbox_trap(OLESTR("in Corvane.modPrioritySDK.SetProcessPriorityClass."), 4097);
constexpr ErrorTrap kSetLevelTrap =
    errmsgbox_trap(OLESTR("in Corvane.modPrioritySDK.SetThreadPriorityLevel."), 4097);
constexpr ErrorTrap kClassNameTrap =
    errmsgbox_trap(OLESTR("in Corvane.modPrioritySDK.sfnProcessPriorityClass."), 4097);
constexpr ErrorTrap kLevelNameTrap =
    errmsgbox_trap(OLESTR("in Corvane.modPrioritySDK.sfnThreadPriorityLevel."), 4097);
constexpr ErrorTrap kDangerousTrap =
    errmsgbox_trap(OLESTR("in Corvane.modPrioritySDK.bfnPriorityIsDangerous."), 4097);

constexpr std::uint32_t kNormalClass = 32;
constexpr std::uint32_t kHighClass = 128;
constexpr std::uint32_t kRealtimeClass = 256;

void trace(OleStringView source, OleStringView text) {
  modVBTrace::GlobalTrace(source, text, 4, true, false, 1, false);
}

OleString before_and_after(const OleString& before, const OleString& after) {
  return OLESTR("Priority before: ") + before + OLESTR("\r\nPriority after: ") + after;
}

// The handles to act on; false (after logging) when only a process was given.
bool choose_handles(Handle process, Handle thread, OleStringView source, std::intptr_t* p,
                    std::intptr_t* t) {
  platform::Priorities& priorities = platform::Priorities::current();
  if (!process) {
    *p = priorities.current_process();
    *t = priorities.current_thread();
    return true;
  }
  if (!thread) {
    modVBTrace::GlobalErrorsLog(source, OLESTR("hProcessHandle specified but hThreadHandle isn't."),
                                2, true, true);
    return false;
  }
  *p = *process;
  *t = *thread;
  return true;
}

}  // namespace

OleString priority_reading() {
  platform::Priorities& priorities = platform::Priorities::current();
  OleString text = OLESTR("Priority Class: ");
  text += sfnProcessPriorityClass(
      static_cast<std::int32_t>(priorities.priority_class(priorities.current_process())));
  text += OLESTR(". Thread Priority: ");
  text += sfnThreadPriorityLevel(priorities.thread_priority(priorities.current_thread()));
  return text;
}

void SetNormalPriority(Handle hProcessHandle, Handle hThreadHandle, std::optional<bool> bTrace) {
  modVBTrace::trapped(kSetNormalTrap, [&] {
    std::intptr_t process = 0;
    std::intptr_t thread = 0;
    if (!choose_handles(hProcessHandle, hThreadHandle, OLESTR("modPrioritySDK.SetNormalPriority"),
                        &process, &thread)) {
      return;
    }
    const bool traced = bTrace.value_or(false);
    SetProcessPriorityClass(static_cast<std::int32_t>(kNormalClass), process, traced);
    SetThreadPriorityLevel(0, thread, traced);
  });
}

void SetProcessPriorityClass(std::int32_t lPriorityClass, Handle hProcessHandle, bool bTrace) {
  modVBTrace::trapped(kSetClassTrap, [&] {
    platform::Priorities& priorities = platform::Priorities::current();
    const OleString before = priority_reading();
    priorities.set_priority_class(hProcessHandle.value_or(priorities.current_process()),
                                  static_cast<std::uint32_t>(lPriorityClass));
    const OleString after = priority_reading();
    if (bTrace) trace(OLESTR("SetProcessPriorityClass"), before_and_after(before, after));
  });
}

void SetThreadPriorityLevel(std::int32_t lPriorityLevel, Handle hThreadHandle, bool bTrace) {
  modVBTrace::trapped(kSetLevelTrap, [&] {
    platform::Priorities& priorities = platform::Priorities::current();
    const OleString before = priority_reading();
    trace(OLESTR("SetThreadPriorityLevel"), OLESTR("Setting thread to ") + to_text(lPriorityLevel) +
                                                OLESTR(": ") +
                                                sfnThreadPriorityLevel(lPriorityLevel));
    priorities.set_thread_priority(hThreadHandle.value_or(priorities.current_thread()),
                                   lPriorityLevel);
    const OleString after = priority_reading();
    if (bTrace) trace(OLESTR("SetThreadPriority"), before_and_after(before, after));
  });
}

OleString sfnProcessPriorityClass(std::int32_t lPriorityClass) {
  OleString result;
  modVBTrace::trapped(kClassNameTrap, [&] {
    switch (lPriorityClass) {
      case 32:
        result = OLESTR("NORMAL_PRIORITY_CLASS");
        break;
      case 64:
        result = OLESTR("IDLE_PRIORITY_CLASS");
        break;
      case 128:
        result = OLESTR("HIGH_PRIORITY_CLASS");
        break;
      case 256:
        result = OLESTR("REALTIME_PRIORITY_CLASS");
        break;
      default:
        result = to_text(lPriorityClass);
        break;
    }
  });
  return result;
}

OleString sfnThreadPriorityLevel(std::int32_t vPriorityLevel) {
  OleString result;
  modVBTrace::trapped(kLevelNameTrap, [&] {
    OleStringView name;
    switch (vPriorityLevel) {
      case 15:
        name = OLESTR("THREAD_PRIORITY_TIME_CRITICAL");
        break;
      case 2:
        name = OLESTR("THREAD_PRIORITY_HIGHEST");
        break;
      case -2:
        name = OLESTR("THREAD_PRIORITY_LOWEST");
        break;
      case 1:
        name = OLESTR("THREAD_PRIORITY_ABOVE_NORMAL");
        break;
      case -1:
        name = OLESTR("THREAD_PRIORITY_BELOW_NORMAL");
        break;
      case 0:
        name = OLESTR("THREAD_PRIORITY_NORMAL");
        break;
      case -15:
        name = OLESTR("THREAD_PRIORITY_IDLE");
        break;
      default:
        break;
    }
    result = name.empty() ? to_text(vPriorityLevel)
                          : OLESTR("(") + to_text(vPriorityLevel) + OLESTR(") ") + OleString(name);
  });
  return result;
}

bool bfnPriorityIsDangerous(Handle hProcessHandle, Handle hThreadHandle) {
  bool result = true;
  modVBTrace::trapped(kDangerousTrap, [&] {
    std::intptr_t process = 0;
    std::intptr_t thread = 0;
    if (!choose_handles(hProcessHandle, hThreadHandle,
                        OLESTR("modPrioritySDK.bfnPriorityIsDangerous"), &process, &thread)) {
      return;
    }
    platform::Priorities& priorities = platform::Priorities::current();
    const std::uint32_t priority_class = priorities.priority_class(process);
    const std::int32_t level = priorities.thread_priority(thread);
    const bool unreadable =
        priority_class == 0 || level == platform::Priorities::kThreadPriorityError;
    result =
        unreadable || priority_class == kHighClass || priority_class == kRealtimeClass || level > 0;
  });
  return result;
}

}  // namespace corvane::modPrioritySDK
