// The viewer on Linux: listens on the viewer's socket, answers each record
// with its one byte at once, then prints it (and appends it to --output).
// The socket is removed at exit, also after SIGINT or SIGTERM.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>

#include "platform/trace_viewer.h"
#include "tools/viewer/output_file.h"
#include "tools/viewer/record_list.h"
#include "tools/viewer/view_command.h"
#include "trace/trace_forwarding.h"

namespace corvane::viewer {

namespace {

// The longest text taken; a sender never comes near it.
constexpr std::uint32_t kMaxText = 64u << 20;
// How long a connected sender may take to deliver its record.
constexpr int kRecordTimeoutMs = 5000;

// SIGINT and SIGTERM write to this pipe; the loop polls its reading end.
int g_stop_pipe[2] = {-1, -1};

void on_stop_signal(int) {
  const int saved = errno;
  const char c = 's';
  (void)!::write(g_stop_pipe[1], &c, 1);
  errno = saved;
}

struct Fd {
  explicit Fd(int value) : fd(value) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int fd;
};

std::optional<sockaddr_un> address_of(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return std::nullopt;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// Our own folder, readable by nobody else: created 0700, or checked to be a
// folder of this user and set to 0700.
bool prepare_folder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
    return false;
  return ::chmod(folder.c_str(), 0700) == 0;
}

// Whether a viewer answers at `address` (else a socket there is stale).
bool viewer_answers(const sockaddr_un& address) {
  const Fd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return probe.fd >= 0 &&
         ::connect(probe.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// Reads `size` bytes unless the sender stops or takes too long.
bool read_exactly(int fd, char* data, std::size_t size) {
  while (size > 0) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, kRecordTimeoutMs) <= 0) return false;
    const ssize_t got = ::recv(fd, data, size, 0);
    if (got <= 0) return false;
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

std::uint32_t little_endian(const unsigned char* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// One record of a connection: kind, cbData, wParam, the text and its NUL;
// answered with one byte as soon as it is whole.
std::optional<Record> receive(int client) {
  unsigned char header[12];
  if (!read_exactly(client, reinterpret_cast<char*>(header), sizeof header)) return std::nullopt;
  const std::uint32_t size = little_endian(header + 4);
  if (size > kMaxText) return std::nullopt;
  std::string text(size + 1, '\0');
  if (!read_exactly(client, text.data(), text.size())) return std::nullopt;
  (void)::send(client, "k", 1, MSG_NOSIGNAL);
  text.pop_back();  // the NUL
  return Record{little_endian(header), arrival_time_now(), std::move(text)};
}

const char* colour_of(std::uint32_t kind) {
  switch (kind) {
    case kDetail:
      return "";
    case kSummary:
      return "\033[32m";
    case kErrors:
      return "\033[31m";
    default:
      return "\033[33m";
  }
}

}  // namespace

int run_viewer(const ViewOptions& options) {
  const std::string folder = platform::viewer_socket_folder();
  const std::string path = platform::viewer_socket_path(modVBTrace::kTraceViewerTitle);
  const std::optional<sockaddr_un> address = address_of(path);
  if (!address || !prepare_folder(folder)) {
    std::cerr << "corvane view: cannot use " << path << '\n';
    return 1;
  }
  if (viewer_answers(*address)) {
    std::cerr << "corvane view: a viewer is already running (" << path << ")\n";
    return 1;
  }
  ::unlink(path.c_str());  // a stale socket of a viewer that ended without removing it
  if (::pipe2(g_stop_pipe, O_CLOEXEC) != 0) return 1;
  const Fd stop_in(g_stop_pipe[0]), stop_out(g_stop_pipe[1]);
  struct sigaction stop {};
  stop.sa_handler = on_stop_signal;
  ::sigaction(SIGINT, &stop, nullptr);
  ::sigaction(SIGTERM, &stop, nullptr);
  ::signal(SIGPIPE, SIG_IGN);  // a closed standard output ends the loop instead

  std::optional<OutputFile> output;
  int status = 0;
  {
    const Fd server(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (server.fd < 0 ||
        ::bind(server.fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        ::listen(server.fd, 64) != 0) {
      std::cerr << "corvane view: cannot listen on " << path << ": " << std::strerror(errno)
                << '\n';
      return 1;
    }
    // Opened once the socket is there: a file that exists tells scripts that
    // the viewer takes records.
    if (!options.output.empty()) {
      output.emplace(options.output);
      if (!output->is_open()) {
        std::cerr << "corvane view: cannot write " << options.output << '\n';
        ::unlink(path.c_str());
        return 1;
      }
    }
    RecordList filters;
    filters.filter_text(options.filter);
    const bool colours = ::isatty(STDOUT_FILENO) != 0;
    pollfd waits[2] = {{server.fd, POLLIN, 0}, {stop_in.fd, POLLIN, 0}};
    for (;;) {
      if (::poll(waits, 2, -1) < 0) {
        if (errno == EINTR) continue;  // the signal's byte is in the pipe
        break;
      }
      if (waits[1].revents != 0) break;
      if ((waits[0].revents & POLLIN) == 0) continue;
      const Fd client(::accept4(server.fd, nullptr, nullptr, SOCK_CLOEXEC));
      if (client.fd < 0) continue;
      std::optional<Record> record = receive(client.fd);
      if (!record) continue;
      const std::string line = record_line(*record);
      if (output) output->append(line);
      if (!filters.passes(*record)) continue;
      const char* colour = colours ? colour_of(record->kind) : "";
      std::fputs(colour, stdout);
      std::fwrite(line.data(), 1, line.size() - 1, stdout);
      std::fputs(*colour != '\0' ? "\033[0m\n" : "\n", stdout);
      if (std::fflush(stdout) != 0) {
        status = 1;
        break;
      }
    }
    // The socket closes here: no sender is accepted from now on.
  }
  output.reset();  // all written
  ::unlink(path.c_str());
  return status;
}

}  // namespace corvane::viewer
