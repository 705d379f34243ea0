#include "platform/environment.h"

#include <shlobj.h>

#include "platform/text_encoding.h"

namespace corvane::platform {

namespace {

class Win32Environment final : public Environment {
 public:
  std::optional<OleString> roaming_app_data_folder() override {
    char buffer[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, buffer))) return std::nullopt;
    return from_ansi(buffer);
  }

  std::intptr_t create_event(OleStringView name, bool* already_existed) override {
    const OleString terminated(name);
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, terminated.c_str());
    *already_existed = event != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    return reinterpret_cast<std::intptr_t>(event);
  }

  void signal_event(std::intptr_t event) override { SetEvent(reinterpret_cast<HANDLE>(event)); }

  void close_event(std::intptr_t event) override { CloseHandle(reinterpret_cast<HANDLE>(event)); }

  OleString window_text(std::intptr_t window, int max_chars) override {
    // A handle that names no window has no title (asked first: the title
    // call's answer for such a handle is not to be relied on everywhere).
    if (!IsWindow(reinterpret_cast<HWND>(window))) return OleString();
    std::string buffer(static_cast<std::size_t>(max_chars), '\0');
    const int n = GetWindowTextA(reinterpret_cast<HWND>(window), buffer.data(), max_chars);
    return n < 1 ? OleString()
                 : from_ansi(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
  }
};

}  // namespace

Environment& Environment::system() {
  static Win32Environment environment;
  return environment;
}

}  // namespace corvane::platform
