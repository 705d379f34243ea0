#include "trace/process_launching.h"

#include "automation/vb_text.h"
#include "platform/processes.h"
#include "priority/priority_sdk.h"
#include "trace/error_trap.h"
#include "trace/locations.h"
#include "trace/trace_log.h"

namespace corvane::modVBTrace {

namespace {

void trace(OleStringView source, OleStringView text) {
  GlobalTrace(source, text, 2, true, false, 1, false);
}

// Their labels name the running process: "in " process ".modVBTrace.<routine>."
OleString label_of(OleStringView routine) {
  return OLESTR("in ") + sfnProcessName() + OLESTR(".modVBTrace.") + OleString(routine) +
         OLESTR(".");
}

}  // namespace

std::intptr_t StartProcess(OleStringView sCommandLine, bool bHide,
                           std::optional<std::int32_t> vThreadPriority) {
  std::intptr_t result = 0;
  const OleString label = label_of(OLESTR("StartProcess"));
  const OleStringView source = OLESTR("modVBTrace.StartProcess");
  trapped(errors_log_trap(label, source), [&] {
    platform::Processes& processes = platform::Processes::current();
    const platform::StartedProcess started =
        processes.start(sCommandLine, bHide, vThreadPriority.has_value());
    if (started.process == 0) {
      trace(source, OLESTR("Could not create process. GetLastError = ") + to_text(started.error) +
                        OLESTR("\r\n") + OleString(sCommandLine));
      return;
    }
    if (vThreadPriority) {
      trace(source, OLESTR("Created suspended process: ") + OleString(sCommandLine));
      modPrioritySDK::SetThreadPriorityLevel(*vThreadPriority, started.thread, false);
      processes.resume(started.thread);
      trace(source, OLESTR("Resumed process: ") + OleString(sCommandLine));
    }
    if (started.thread != started.process) processes.close(started.thread);
    result = started.process;
  });
  return result;
}

bool SyncShell(OleStringView sCommandLine, std::int32_t lTimeoutMs, bool bWaitForInputIdle,
               bool bHide, std::optional<std::int32_t> vThreadPriority) {
  bool result = false;
  const OleString label = label_of(OLESTR("SyncShell"));
  const OleStringView source = OLESTR("modVBTrace.SyncShell");
  trapped(errors_log_trap(label, source), [&] {
    platform::Processes& processes = platform::Processes::current();
    const std::uint32_t limit =
        lTimeoutMs >= 1 ? static_cast<std::uint32_t>(lTimeoutMs) : platform::Processes::kInfinite;
    trace(source, OLESTR("CommandLine = ") + OleString(sCommandLine));
    const std::intptr_t process = StartProcess(sCommandLine, bHide, vThreadPriority);
    if (process == 0) return;  // a failed start: a failed wait
    const std::uint32_t r = bWaitForInputIdle ? processes.wait_for_input_idle(process, limit)
                                              : processes.wait(process, limit);
    processes.close(process);
    result = r == 0;
  });
  return result;
}

}  // namespace corvane::modVBTrace
