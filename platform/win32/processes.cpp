#include "platform/processes.h"

#include <string>

#include "platform/text_encoding.h"

namespace corvane::platform {

namespace {

class Win32Processes final : public Processes {
 public:
  StartedProcess start(OleStringView command_line, bool hide, bool suspended) override {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;  // 68
    if (hide) {
      startup.dwFlags = STARTF_USESHOWWINDOW;
      startup.wShowWindow = SW_HIDE;
    }
    PROCESS_INFORMATION info{};
    std::string command = to_ansi(command_line);
    const OleString program_file = program_file_of(command_line);
    StartedProcess started;
    if (program_file.empty() && !names_bare_program(command_line)) {
      // A path that names no program: the system would try each part of
      // the line up to a blank, and could start another program.
      started.error = ERROR_FILE_NOT_FOUND;
      return started;
    }
    const std::string program = to_ansi(program_file);
    const DWORD flags = NORMAL_PRIORITY_CLASS | (suspended ? CREATE_SUSPENDED : 0);
    if (!CreateProcessA(program.empty() ? nullptr : program.c_str(), command.data(), nullptr,
                        nullptr, TRUE, flags, nullptr, nullptr, &startup, &info)) {
      started.error = GetLastError();
      return started;
    }
    started.process = reinterpret_cast<std::intptr_t>(info.hProcess);
    started.thread = reinterpret_cast<std::intptr_t>(info.hThread);
    return started;
  }

  void resume(std::intptr_t thread) override { ResumeThread(reinterpret_cast<HANDLE>(thread)); }

  std::uint32_t wait(std::intptr_t process, std::uint32_t limit_ms) override {
    return WaitForSingleObject(reinterpret_cast<HANDLE>(process), limit_ms);
  }

  std::uint32_t wait_for_input_idle(std::intptr_t process, std::uint32_t limit_ms) override {
    return WaitForInputIdle(reinterpret_cast<HANDLE>(process), limit_ms);
  }

  void close(std::intptr_t handle) override {
    if (handle != 0) CloseHandle(reinterpret_cast<HANDLE>(handle));
  }

  std::uint32_t exit_code(std::intptr_t process) override {
    WaitForSingleObject(reinterpret_cast<HANDLE>(process), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(reinterpret_cast<HANDLE>(process), &code);
    return code;
  }

  std::uint32_t shell(OleStringView command_line, int show_state) override {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show_state);
    PROCESS_INFORMATION info{};
    std::string command = to_ansi(command_line);
    const std::string program = to_ansi(program_file_of(command_line));
    if (program.empty()) return ERROR_FILE_NOT_FOUND;
    if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE,
                        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &info)) {
      return GetLastError();
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 0;
  }

  std::uint32_t current_process_id() override { return GetCurrentProcessId(); }

  [[noreturn]] void exit_process(std::uint32_t code, bool leave_com) override {
    if (leave_com) CoUninitialize();
    ExitProcess(code);
  }
};

}  // namespace

Processes& Processes::system() {
  static Win32Processes processes;
  return processes;
}

}  // namespace corvane::platform
