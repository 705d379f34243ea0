// A stand-in for the suite's trace viewer, titled "DovaziVeduzi - QuillonMT":
// on Windows a top-level window that takes WM_COPYDATA records, on Linux the
// socket named after the title in the user's runtime folder (each record
// answered with one byte). It appends every record to the file named by its
// first argument, one line each: kind TAB wParam TAB cbData TAB text. The
// text "quit" with kind 99 ends it; so does the end of the seconds given as
// second argument.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

const char* g_record_file = nullptr;

// Records one record; false for the one that ends the viewer.
bool take(unsigned long kind, unsigned long wparam, unsigned long size, const std::string& text) {
  if (kind == 99 && text == "quit") return false;
  if (FILE* f = std::fopen(g_record_file, "ab")) {
    std::fprintf(f, "%lu\t%lu\t%lu\t%s\n", kind, wparam, size, text.c_str());
    std::fclose(f);
  }
  return true;
}

#ifdef _WIN32
LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COPYDATA) {
    const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    // The system copies cbData bytes: the NUL stays behind.
    const std::string text(static_cast<const char*>(record->lpData), record->cbData);
    if (!take(record->dwData, wparam, record->cbData, text)) DestroyWindow(window);
    return TRUE;
  }
  if (message == WM_TIMER) DestroyWindow(window);
  if (message == WM_DESTROY) PostQuitMessage(0);
  return message == WM_TIMER || message == WM_DESTROY
             ? 0
             : DefWindowProcA(window, message, wparam, lparam);
}

int run(int seconds) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "CorvaneViewerStandIn";
  RegisterClassA(&window_class);
  HWND window = CreateWindowA("CorvaneViewerStandIn", "DovaziVeduzi - QuillonMT", WS_OVERLAPPED, 0,
                              0, 100, 100, nullptr, nullptr, window_class.hInstance, nullptr);
  if (window == nullptr) return 1;
  SetTimer(window, 1, seconds * 1000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
#else
int run(int seconds) {
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
      ::listen(server, 8) != 0)
    return 1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (bool going = true; going && std::chrono::steady_clock::now() < deadline;) {
    pollfd waiting{server, POLLIN, 0};
    const int client = ::poll(&waiting, 1, 100) > 0 ? ::accept(server, nullptr, nullptr) : -1;
    if (client < 0) continue;
    // The three 32-bit fields (kind, cbData, wParam), the bytes and the NUL.
    std::string record;
    std::uint32_t header[3] = {};
    char buffer[4096];
    for (ssize_t n; (record.size() < 12 || record.size() < 13 + header[1]) &&
                    (n = ::recv(client, buffer, sizeof buffer, 0)) > 0;) {
      record.append(buffer, static_cast<std::size_t>(n));
      if (record.size() >= 12) std::memcpy(header, record.data(), sizeof header);
    }
    if (record.size() >= 12)
      going = take(header[0], header[2], header[1], record.substr(12, header[1]));
    ::send(client, "k", 1, MSG_NOSIGNAL);
    ::close(client);
  }
  ::close(server);
  ::unlink(path.c_str());
  return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  g_record_file = argv[1];
  return run(argc >= 3 ? std::atoi(argv[2]) : 30);
}
