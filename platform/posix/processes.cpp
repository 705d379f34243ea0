// Processes on Linux: the command line is split as Windows programs split
// theirs (blanks separate arguments, double quotes group), the program file
// found by the rule of processes.h, and the program started with
// posix_spawn. A process handle is its pid; its "first thread" is the pid
// too, so that a priority level can be set on it (as a nice value) before it
// is "resumed", which here is nothing: Linux cannot start a process held.
// Hiding applies to windows, which Linux programs here have none of.
// Waiting for input idle has no meaning without windows and answers at once.
#include "platform/processes.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "automation/vb_text.h"

extern char** environ;

namespace corvane::platform {

namespace {

std::vector<std::string> split_arguments(OleStringView command_line) {
  std::vector<std::string> arguments;
  std::string current;
  bool quoted = false;
  bool any = false;
  for (OLECHAR c : command_line) {
    if (c == u'"') {
      quoted = !quoted;
      any = true;
    } else if (c == u' ' && !quoted) {
      if (any) arguments.push_back(current);
      current.clear();
      any = false;
    } else {
      current += to_utf8(OleStringView(&c, 1));
      any = true;
    }
  }
  if (any) arguments.push_back(current);
  return arguments;
}

// Whether the program can be found: a path names an executable file, a bare
// name one in a folder of PATH. Asked before the start, so that a missing
// program fails the start itself (as CreateProcess does) whatever the
// system's spawn reports.
bool findable(const std::string& program) {
  if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= folders.size();) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = end > start ? folders.substr(start, end - start) : ".";
    if (::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

std::string native(OleStringView path) {
  std::string p = to_utf8(path);
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return p;
}

class PosixProcesses final : public Processes {
 public:
  StartedProcess start(OleStringView command_line, bool, bool) override {
    StartedProcess started;
    const OleString program = program_file_of(command_line);
    std::vector<std::string> arguments;
    if (!program.empty()) {
      // The program's own text, then the rest of the line split as usual.
      const std::size_t start = command_line.find_first_not_of(u' ');
      std::size_t after = start + program.size();
      if (command_line[start] == u'"') after += 2;
      arguments = split_arguments(command_line.substr(std::min(after, command_line.size())));
      arguments.insert(arguments.begin(), native(program));
    } else {
      // Only a bare name is looked for on the search path: a path that names
      // no file starts nothing, whatever a shorter part of it names.
      arguments = split_arguments(command_line);
      if (arguments.empty() || !names_bare_program(command_line)) {
        started.error = 2;  // nothing to start: as Windows, file not found
        return started;
      }
    }
    if (!findable(arguments[0])) {
      started.error = 2;  // as Windows: file not found
      return started;
    }
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
      started.error = static_cast<std::uint32_t>(rc);
      return started;
    }
    started.process = pid;
    started.thread = pid;
    return started;
  }

  void resume(std::intptr_t) override {}

  std::uint32_t wait(std::intptr_t process, std::uint32_t limit_ms) override {
    if (process <= 0) return kWaitFailed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    for (;;) {
      int status = 0;
      const pid_t done = ::waitpid(static_cast<pid_t>(process), &status, WNOHANG);
      if (done == static_cast<pid_t>(process)) return 0;
      if (done < 0) return errno == ECHILD ? 0 : kWaitFailed;  // reaped already: it ended
      if (limit_ms != kInfinite && std::chrono::steady_clock::now() >= deadline) return kTimeout;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  std::uint32_t wait_for_input_idle(std::intptr_t process, std::uint32_t) override {
    return process > 0 ? 0 : kWaitFailed;
  }

  void close(std::intptr_t handle) override {
    if (handle > 0) ::waitpid(static_cast<pid_t>(handle), nullptr, WNOHANG);  // reap if it ended
  }

  std::uint32_t exit_code(std::intptr_t process) override {
    int status = 0;
    if (::waitpid(static_cast<pid_t>(process), &status, 0) < 0) return kWaitFailed;
    return WIFEXITED(status) ? static_cast<std::uint32_t>(WEXITSTATUS(status)) : kWaitFailed;
  }

  std::uint32_t shell(OleStringView command_line, int) override {
    if (program_file_of(command_line).empty()) return 2;  // as Windows: file not found
    const StartedProcess started = start(command_line, false, false);
    return started.process == 0 ? started.error : 0;
  }

  std::uint32_t current_process_id() override { return static_cast<std::uint32_t>(::getpid()); }

  [[noreturn]] void exit_process(std::uint32_t code, bool /*leave_com*/) override {
    std::fflush(nullptr);
    ::_exit(static_cast<int>(code));
  }

 private:
  static constexpr std::uint32_t kTimeout = 258;  // WAIT_TIMEOUT
  static constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;
};

}  // namespace

Processes& Processes::system() {
  static PosixProcesses processes;
  return processes;
}

}  // namespace corvane::platform
