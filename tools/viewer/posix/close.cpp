// `corvane view --close` on Linux: asks the process that listens on the
// viewer's socket to end (SIGTERM), then waits until it has removed it.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>

#include "platform/trace_viewer.h"
#include "tools/viewer/view_command.h"
#include "trace/trace_forwarding.h"

namespace corvane::viewer {

int close_viewer() {
  const std::string path = platform::viewer_socket_path(modVBTrace::kTraceViewerTitle);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return 1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ucred peer{};
  socklen_t size = sizeof peer;
  const bool found = fd >= 0 &&
                     ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.pid > 0;
  if (fd >= 0) ::close(fd);
  if (!found || ::kill(peer.pid, SIGTERM) != 0) {
    std::cerr << "corvane view: no viewer is running\n";
    return 1;
  }
  // The viewer removes its socket last, once its output is written.
  struct stat info {};
  for (int waited = 0; waited < 10000; waited += 20) {
    if (::stat(path.c_str(), &info) != 0) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::cerr << "corvane view: the viewer did not end\n";
  return 1;
}

}  // namespace corvane::viewer
