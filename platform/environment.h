// What the trace library asks of its surroundings: the user's roaming
// application-data folder, kernel events named across processes, and the
// title of a window.
#pragma once

#include <cstdint>
#include <optional>

#include "automation/ole_types.h"
#include "platform/replaceable.h"

namespace corvane::platform {

class Environment : public Replaceable<Environment> {
 public:
  virtual ~Environment() = default;

  // The roaming application-data folder (CSIDL_APPDATA; on Linux
  // $XDG_CONFIG_HOME, else ~/.config), or nothing the system can name.
  virtual std::optional<OleString> roaming_app_data_folder() = 0;

  // Creates (or opens) the named event (auto-reset, not signalled). Returns
  // a handle, 0 when none could be had; `already_existed` tells whether
  // another handle to it was open (the platform's error 183).
  virtual std::intptr_t create_event(OleStringView name, bool* already_existed) = 0;
  virtual void signal_event(std::intptr_t event) = 0;
  virtual void close_event(std::intptr_t event) = 0;

  // The title of a window, at most `max_chars` - 1 characters; nothing when
  // the handle names no window or the window has no title.
  virtual OleString window_text(std::intptr_t window, int max_chars) = 0;

  static Environment& system();
};

}  // namespace corvane::platform
