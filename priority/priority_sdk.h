// modPrioritySDK: reads, names and sets process and thread priority, and
// tells whether the current priority is too high for a message box.
// Handles are optional: absent means the caller's own process and thread.
// No routine passes an error to its caller: each ends in its message box.
#pragma once

#include <cstdint>
#include <optional>

#include "automation/ole_types.h"

namespace corvane::modPrioritySDK {

using Handle = std::optional<std::intptr_t>;

// Process to the normal class (32), thread to the normal level (0). A process
// handle without a thread handle changes nothing and is logged.
void SetNormalPriority(Handle hProcessHandle = {}, Handle hThreadHandle = {},
                       std::optional<bool> bTrace = {});
void SetProcessPriorityClass(std::int32_t lPriorityClass, Handle hProcessHandle = {},
                             bool bTrace = false);
void SetThreadPriorityLevel(std::int32_t lPriorityLevel, Handle hThreadHandle = {},
                            bool bTrace = false);

// "NORMAL_PRIORITY_CLASS" and the like, or the value as decimal text.
OleString sfnProcessPriorityClass(std::int32_t lPriorityClass);
// "(2) THREAD_PRIORITY_HIGHEST" and the like, or the value as decimal text.
OleString sfnThreadPriorityLevel(std::int32_t vPriorityLevel);

// True when the process runs in the high or realtime class, or the thread
// above the normal level (or the priority cannot be read): a message box
// shown then could be starved.
bool bfnPriorityIsDangerous(Handle hProcessHandle = {}, Handle hThreadHandle = {});

// "Priority Class: " class ". Thread Priority: " level, of the caller's own
// process and thread.
OleString priority_reading();

}  // namespace corvane::modPrioritySDK
