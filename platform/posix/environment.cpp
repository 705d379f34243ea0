// The environment on systems without Windows. A named event is a file in the
// user's runtime folder that every holder keeps open with a shared lock: it
// "already exists" when some other handle holds it, in this process or in
// another one.
#include "platform/environment.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "automation/vb_text.h"

namespace corvane::platform {

namespace {

std::string runtime_folder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = (runtime != nullptr && *runtime != '\0') ? runtime : "/tmp";
  folder += "/corvane-events-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  return folder;
}

std::string event_file(OleStringView name) {
  std::string file;
  for (char c : to_utf8(name)) file.push_back(c == '/' || c == '\\' ? '_' : c);
  return runtime_folder() + "/" + file;
}

class PosixEnvironment final : public Environment {
 public:
  std::optional<OleString> roaming_app_data_folder() override {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config != '\0') return from_utf8(config);
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return std::nullopt;
    return from_utf8(std::string(home) + "/.config");
  }

  std::intptr_t create_event(OleStringView name, bool* already_existed) override {
    *already_existed = false;
    const int fd = ::open(event_file(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return 0;
    // Someone else holds it when an exclusive lock cannot be had.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) *already_existed = true;
    ::flock(fd, LOCK_SH);
    return fd + 1;  // 0 means no handle
  }

  void signal_event(std::intptr_t) override {}  // nothing waits on it here

  void close_event(std::intptr_t event) override {
    if (event > 0) ::close(static_cast<int>(event - 1));
  }

  OleString window_text(std::intptr_t, int) override { return OleString(); }  // no windows
};

}  // namespace

Environment& Environment::system() {
  static PosixEnvironment environment;
  return environment;
}

}  // namespace corvane::platform
