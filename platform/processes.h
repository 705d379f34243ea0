// Starting programs and waiting for them. A command line is one text, the
// program first (quoted when it holds blanks, or not: a program file whose
// folder holds blanks is found as the longest leading part of the command
// line that names an existing file, so that a blank can never start another
// program than the one meant); the command line itself is passed on as given.
#pragma once

#include <cstdint>

#include "automation/ole_types.h"
#include "platform/replaceable.h"

namespace corvane::platform {

struct StartedProcess {
  std::intptr_t process = 0;  // 0 when the start failed
  std::intptr_t thread = 0;   // its first thread
  std::uint32_t error = 0;    // the system's error code of a failed start
};

class Processes : public Replaceable<Processes> {
 public:
  virtual ~Processes() = default;
  // Starts the program, its window hidden when asked, its first thread held
  // until resume() when `suspended`.
  virtual StartedProcess start(OleStringView command_line, bool hide, bool suspended) = 0;
  virtual void resume(std::intptr_t thread) = 0;
  // 0 when the process ended (or, for wait_for_input_idle, went idle) within
  // the limit; another value when not. kInfinite waits without limit.
  virtual std::uint32_t wait(std::intptr_t process, std::uint32_t limit_ms) = 0;
  virtual std::uint32_t wait_for_input_idle(std::intptr_t process, std::uint32_t limit_ms) = 0;
  virtual void close(std::intptr_t handle) = 0;
  // Waits without limit and gives the exit code (for the tests' own children).
  virtual std::uint32_t exit_code(std::intptr_t process) = 0;

  // The runtime's Shell: starts the program with a window style (2:
  // minimized with focus) and does not wait. 0, or the system's error code.
  virtual std::uint32_t shell(OleStringView command_line, int show_state) = 0;

  virtual std::uint32_t current_process_id() = 0;
  // Ends the process at once with the exit code; with leave_com, leaves the
  // thread's COM apartment first.
  [[noreturn]] virtual void exit_process(std::uint32_t code, bool leave_com) = 0;

  static constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

  static Processes& system();
};

// The program file a command line starts, by the rule above; empty when no
// leading part names an existing file, or when the line names an existing
// folder past the part that does ("C:\with space\app.exe" with app.exe
// missing never starts "C:\with.exe"). On Windows a part named without an
// extension also names that part & ".exe", as the system reads it.
OleString program_file_of(OleStringView command_line);

// Whether the program of a command line is a bare name (no folder, no drive),
// which the system looks for on its search path. A line whose program is no
// bare name and names no file (program_file_of is empty) starts nothing: the
// system would split it at each blank and could start another program.
bool names_bare_program(OleStringView command_line);

}  // namespace corvane::platform
