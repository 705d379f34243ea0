// The smaller services on Windows: debugger output, text encoding, the
// screen's mouse pointer, the component's own file.
#include "platform/debug_output.h"
#include "platform/module_info.h"
#include "platform/screen.h"
#include "platform/text_encoding.h"

namespace corvane::platform {

namespace {

class Win32DebugOutput final : public DebugOutput {
 public:
  void write(std::string_view ansi_text) override {
    const std::string terminated(ansi_text);
    OutputDebugStringA(terminated.c_str());
  }
};

class Win32Screen final : public Screen {
 public:
  void reset_mouse_pointer() override { SetCursor(LoadCursor(nullptr, IDC_ARROW)); }
};

class Win32ModuleInfo final : public ModuleInfo {
 public:
  OleString own_file_path() override {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&file_base_name), &self)) {
      return OleString();
    }
    return module_file_path(self);
  }
};

}  // namespace

OleString module_file_path(HMODULE module) {
  OleString path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return OleString();
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // cut short: try a larger buffer
  }
}

DebugOutput& DebugOutput::system() {
  static Win32DebugOutput output;
  return output;
}

Screen& Screen::system() {
  static Win32Screen screen;
  return screen;
}

ModuleInfo& ModuleInfo::system() {
  static Win32ModuleInfo info;
  return info;
}

std::string to_ansi(OleStringView text) {
  std::string out;
  append_ansi(out, text);
  return out;
}

void append_ansi(std::string& out, OleStringView text) {
  if (text.empty()) return;
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(n));
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data() + at, n,
                      nullptr, nullptr);
}

OleString from_ansi(std::string_view bytes) {
  if (bytes.empty()) return OleString();
  const int n =
      MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  OleString out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  return out;
}

}  // namespace corvane::platform
