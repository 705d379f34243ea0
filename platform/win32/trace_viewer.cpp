#include "platform/trace_viewer.h"

#include <string>

#include "platform/text_encoding.h"

namespace corvane::platform {

namespace {

class Win32TraceViewer final : public TraceViewer {
 public:
  std::intptr_t find_window(OleStringView title) override {
    return reinterpret_cast<std::intptr_t>(FindWindowA(nullptr, to_ansi(title).c_str()));
  }
  bool is_window(std::intptr_t window) override {
    return window != 0 && IsWindow(reinterpret_cast<HWND>(window)) != 0;
  }
  void send_copy_data(std::intptr_t window, std::uintptr_t wparam, std::uint32_t kind,
                      std::string_view text) override {
    std::string buffer(text);  // with its terminating NUL
    COPYDATASTRUCT record{};
    record.dwData = kind;
    record.cbData = static_cast<DWORD>(text.size());
    record.lpData = buffer.data();
    SendMessageA(reinterpret_cast<HWND>(window), WM_COPYDATA, static_cast<WPARAM>(wparam),
                 reinterpret_cast<LPARAM>(&record));
  }
};

}  // namespace

TraceViewer& TraceViewer::system() {
  static Win32TraceViewer viewer;
  return viewer;
}

}  // namespace corvane::platform
