// A program for the process tests (and the stand-in for the suite's main
// program): writes its arguments to the file named by its second argument
// (when it is an absolute path), leaves "<its own file>.ran" beside itself with its
// arguments, so that a test can tell which program ran and how, sleeps the
// milliseconds of its first argument (when it is a number), and exits with 0.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::string own_file() {
  char path[4096] = {};
#ifdef _WIN32
  GetModuleFileNameA(nullptr, path, sizeof path);
#else
  if (readlink("/proc/self/exe", path, sizeof path - 1) < 0) path[0] = '\0';
#endif
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  std::string arguments;
  for (int i = 1; i < argc; ++i) arguments += std::string(i > 1 ? " " : "") + argv[i];
  std::ofstream(own_file() + ".ran", std::ios::binary) << arguments << "\n";
  // Only an absolute path names the marker file: a command line such as
  // "PID=1 USERSHUTDOWN=False" must not leave files in the working folder.
  if (argc >= 3 && std::filesystem::path(argv[2]).is_absolute())
    std::ofstream(argv[2], std::ios::app | std::ios::binary) << arguments << "\n";
  const long ms = argc >= 2 ? std::strtol(argv[1], nullptr, 10) : 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return 0;
}
