// The suite's trace viewer: a window found by its title that receives texts
// as WM_COPYDATA records (kind in dwData, the ANSI bytes and one NUL in
// lpData, cbData without the NUL, a flag in wParam).
//
// On Linux a viewer is a Unix socket named after its title in the user's
// runtime folder (viewer_socket_path: $XDG_RUNTIME_DIR/corvane-viewers-<uid>/
// <title>, else under /tmp);
// a record is sent as the 32-bit kind, cbData and wParam (little-endian),
// then the bytes and the NUL, and the sender waits for one byte back, as
// SendMessage waits for the window to handle the message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/ole_types.h"
#include "platform/replaceable.h"

namespace corvane::platform {

class TraceViewer : public Replaceable<TraceViewer> {
 public:
  virtual ~TraceViewer() = default;
  // FindWindowA(no class, title): a handle, or 0.
  virtual std::intptr_t find_window(OleStringView title) = 0;
  virtual bool is_window(std::intptr_t window) = 0;
  // SendMessageA(window, WM_COPYDATA, wparam, record); `text` is sent with
  // one NUL after it, cbData = text.size().
  virtual void send_copy_data(std::intptr_t window, std::uintptr_t wparam, std::uint32_t kind,
                              std::string_view text) = 0;

  static TraceViewer& system();
};

#ifndef _WIN32
// The folder of the viewers' sockets: $XDG_RUNTIME_DIR/corvane-viewers-<uid>,
// or /tmp/corvane-viewers-<uid> when the variable is unset or empty.
std::string viewer_socket_folder();
// The socket of the viewer titled `title` (UTF-8) in that folder.
std::string viewer_socket_path(OleStringView title);
#endif

}  // namespace corvane::platform
