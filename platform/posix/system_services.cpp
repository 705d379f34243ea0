// The smaller services on systems without Windows: debugger output, text
// encoding, the screen, the component's own file.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "automation/vb_text.h"
#include "platform/debug_output.h"
#include "platform/module_info.h"
#include "platform/screen.h"
#include "platform/text_encoding.h"

namespace corvane::platform {

namespace {

const char* debug_output_target() {
  const char* target = std::getenv("CORVANE_DEBUG_OUTPUT");
  return target == nullptr || *target == '\0' ? nullptr : target;
}

class PosixDebugOutput final : public DebugOutput {
 public:
  bool listening() override { return debug_output_target() != nullptr; }
  void write(std::string_view ansi_text) override {
    const char* target = debug_output_target();
    if (target == nullptr) return;
    const int fd = ::open(target, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return;
    while (!ansi_text.empty()) {
      const ssize_t n = ::write(fd, ansi_text.data(), ansi_text.size());
      if (n <= 0) break;
      ansi_text.remove_prefix(static_cast<std::size_t>(n));
    }
    ::close(fd);
  }
};

class PosixScreen final : public Screen {
 public:
  void reset_mouse_pointer() override {}  // no host screen to reset
};

class PosixModuleInfo final : public ModuleInfo {
 public:
  OleString own_file_path() override {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&file_base_name), &info) != 0 &&
        info.dli_fname != nullptr) {
      char resolved[PATH_MAX];
      if (::realpath(info.dli_fname, resolved) != nullptr) return from_utf8(resolved);
    }
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    return n > 0 ? from_utf8(std::string_view(exe, static_cast<std::size_t>(n))) : OleString();
  }
};

}  // namespace

DebugOutput& DebugOutput::system() {
  static PosixDebugOutput output;
  return output;
}

Screen& Screen::system() {
  static PosixScreen screen;
  return screen;
}

ModuleInfo& ModuleInfo::system() {
  static PosixModuleInfo info;
  return info;
}

std::string to_ansi(OleStringView text) {
  return to_utf8(text);
}

void append_ansi(std::string& out, OleStringView text) {
  append_utf8(out, text);
}

OleString from_ansi(std::string_view bytes) {
  return from_utf8(bytes);
}

}  // namespace corvane::platform
