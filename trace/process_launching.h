// Starting the suite's helper programs: StartProcess starts one (optionally
// held until the priority of its first thread is set), SyncShell starts one
// and waits for it.
#pragma once

#include <cstdint>
#include <optional>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

// The new process's handle (the caller closes it), or 0 when it could not be
// started ("Could not create process. GetLastError = " in the detail log).
std::intptr_t StartProcess(OleStringView sCommandLine, bool bHide,
                           std::optional<std::int32_t> vThreadPriority = {});

// Starts the program and waits up to lTimeoutMs (0 or below: without limit)
// for it to end, or with bWaitForInputIdle to go idle. True when it did.
bool SyncShell(OleStringView sCommandLine, std::int32_t lTimeoutMs, bool bWaitForInputIdle,
               bool bHide, std::optional<std::int32_t> vThreadPriority = {});

}  // namespace corvane::modVBTrace
