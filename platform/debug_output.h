// The debugger output channel (OutputDebugStringA on Windows). Elsewhere the
// text goes to the file named by the environment variable CORVANE_DEBUG_OUTPUT
// when it is set, and nowhere otherwise, as with no debugger attached.
#pragma once

#include <string_view>

#include "platform/replaceable.h"

namespace corvane::platform {

class DebugOutput : public Replaceable<DebugOutput> {
 public:
  virtual ~DebugOutput() = default;
  // `ansi_text` is already in the system's ANSI code page (UTF-8 elsewhere).
  virtual void write(std::string_view ansi_text) = 0;
  // False when nothing would receive a write, so callers can skip building
  // the text. Windows cannot tell (a viewer may listen without a debugger).
  virtual bool listening() { return true; }

  static DebugOutput& system();
};

}  // namespace corvane::platform
