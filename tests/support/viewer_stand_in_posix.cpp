// A stand-in for the suite's trace viewer on Linux: listens on the socket
// named after the title "DovaziVeduzi - QuillonMT" in the user's runtime
// folder and appends every record it gets to the file named by its first
// argument, one line each: kind TAB wParam TAB cbData TAB text; each record
// is answered with one byte. The text "quit" with kind 99 ends it; so does
// the end of the seconds given as second argument.
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const int seconds = argc >= 3 ? std::atoi(argv[2]) : 30;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string folder = std::string(runtime != nullptr && *runtime ? runtime : "/tmp") +
                             "/corvane-viewers-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  const std::string path = folder + "/DovaziVeduzi - QuillonMT";
  ::unlink(path.c_str());
  const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(server, 8) != 0) {
    return 1;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  bool quit = false;
  while (!quit && std::chrono::steady_clock::now() < deadline) {
    pollfd waiting{server, POLLIN, 0};
    if (::poll(&waiting, 1, 100) <= 0) continue;
    const int client = ::accept(server, nullptr, nullptr);
    if (client < 0) continue;
    std::string record;
    char buffer[4096];
    for (ssize_t n;
         (record.size() < 12 ||
          record.size() < 12 + *reinterpret_cast<const std::uint32_t*>(record.data() + 4) + 1) &&
         (n = ::recv(client, buffer, sizeof buffer, 0)) > 0;) {
      record.append(buffer, static_cast<std::size_t>(n));
    }
    if (record.size() >= 12) {
      std::uint32_t header[3];
      std::memcpy(header, record.data(), sizeof header);
      const std::string text = record.substr(12, header[1]);
      if (header[0] == 99 && text == "quit") {
        quit = true;
      } else if (FILE* f = std::fopen(argv[1], "ab")) {
        std::fprintf(f, "%u\t%u\t%u\t%s\n", header[0], header[2], header[1], text.c_str());
        std::fclose(f);
      }
    }
    ::send(client, "k", 1, MSG_NOSIGNAL);
    ::close(client);
  }
  ::close(server);
  ::unlink(path.c_str());
  return 0;
}
