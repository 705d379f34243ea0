#include "platform/trace_viewer.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "automation/vb_text.h"

namespace corvane::platform {

namespace {

bool is_socket(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

class PosixTraceViewer final : public TraceViewer {
 public:
  std::intptr_t find_window(OleStringView title) override {
    const std::string path = viewer_socket_path(title);
    if (!is_socket(path)) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < paths_.size(); ++i) {
      if (paths_[i] == path) return static_cast<std::intptr_t>(i + 1);
    }
    paths_.push_back(path);
    return static_cast<std::intptr_t>(paths_.size());
  }

  bool is_window(std::intptr_t window) override { return is_socket(path_of(window)); }

  void send_copy_data(std::intptr_t window, std::uintptr_t wparam, std::uint32_t kind,
                      std::string_view text) override {
    const std::string path = path_of(window);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      std::string record(12, '\0');
      const std::uint32_t header[3] = {kind, static_cast<std::uint32_t>(text.size()),
                                       static_cast<std::uint32_t>(wparam)};
      std::memcpy(record.data(), header, sizeof header);
      record.append(text);
      record.push_back('\0');
      if (::send(fd, record.data(), record.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(record.size())) {
        // The viewer answers once it has handled the text.
        pollfd answer{fd, POLLIN, 0};
        char ack = 0;
        if (::poll(&answer, 1, 10000) > 0) (void)::recv(fd, &ack, 1, 0);
      }
    }
    ::close(fd);
  }

 private:
  std::string path_of(std::intptr_t window) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (window < 1 || static_cast<std::size_t>(window) > paths_.size()) return std::string();
    return paths_[static_cast<std::size_t>(window) - 1];
  }

  std::mutex mutex_;
  std::vector<std::string> paths_;  // handle n is paths_[n - 1]
};

}  // namespace

std::string viewer_socket_folder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = (runtime != nullptr && *runtime != '\0') ? runtime : "/tmp";
  return folder + "/corvane-viewers-" + std::to_string(::getuid());
}

std::string viewer_socket_path(OleStringView title) {
  return viewer_socket_folder() + "/" + to_utf8(title);
}

TraceViewer& TraceViewer::system() {
  static PosixTraceViewer viewer;
  return viewer;
}

}  // namespace corvane::platform
