// Starting programs and waiting for them, with the lines the detail log gets,
// and which program a command line starts when its path holds blanks.
#include <gtest/gtest.h>

#include "platform/processes.h"
#include "platform/text_encoding.h"
#include "support/log_capture.h"
#include "trace/process_launching.h"

namespace corvane::modVBTrace {
namespace {

using namespace testing;

#ifdef _WIN32
const std::string kExe = ".exe", kSeparator = "\\";
#else
const std::string kExe = "", kSeparator = "/";
#endif

// The command line that starts the helper child with those arguments.
OleString child(const std::string& arguments) {
  return ole_path(helper_program("corvane_test_child")) + wide(" " + arguments);
}

// A waited-for program runs to its end (its marker has its arguments); one
// that outlives the limit or cannot be found is a failed wait. A thread
// priority holds the start until it is set.
TEST(Processes, StartingAndWaiting) {
  TraceHarness h(2);
  const fs::path marker = h.folder.path() / "ran.txt";
  const OleString line = child("50 " + marker.string());
  EXPECT_TRUE(SyncShell(line, 0, false, true));  // 0: no limit
  EXPECT_EQ(read_bytes(marker), "50 " + marker.string() + "\n");
  EXPECT_TRUE(SyncShell(line, 10000, false, false));
  EXPECT_EQ(read_file(h.detail_log()),
            h.stamped("modVBTrace.SyncShell", "CommandLine = " + narrow(line)) +
                h.stamped("modVBTrace.SyncShell", "CommandLine = " + narrow(line)));

  const std::size_t before = read_file(h.detail_log()).size();
  const std::intptr_t process = StartProcess(child("0"), true, -1);
  ASSERT_NE(process, 0);
  EXPECT_EQ(platform::Processes::current().wait(process, 10000), 0u);
  platform::Processes::current().close(process);
  EXPECT_EQ(
      read_file(h.detail_log()).substr(before),
      h.stamped("modVBTrace.StartProcess", "Created suspended process: " + narrow(child("0"))) +
          h.stamped("modVBTrace.StartProcess", "Resumed process: " + narrow(child("0"))));

  EXPECT_FALSE(SyncShell(child("1000"), 100, false, true));
  EXPECT_FALSE(SyncShell(OLESTR("no-such-program-anywhere"), 100, false, true));
  EXPECT_TRUE(h.traced("modVBTrace.StartProcess",
                       "Could not create process. GetLastError = 2\r\nno-such-program-anywhere"));
}

// A folder "with space" and, beside it, the program "with" that a line
// naming a program inside the folder would start if it were split at the
// blank. The suite's own command lines are unquoted. A program missing from
// the folder never starts the shorter path, named with or without its
// extension (as Windows lets a program be named).
TEST(ProgramStarts, TheProgramInTheFolderWithABlank) {
  TraceHarness h(2);
  const fs::path folder = h.folder.path() / "with space", child = folder / ("child" + kExe);
  const fs::path decoy = h.folder.path() / ("with" + kExe);
  fs::create_directories(folder);
  fs::copy_file(helper_program("corvane_test_child"), decoy);
  auto line = [&](const std::string& name, const std::string& arguments) {
    return ole_path(folder) + platform::from_ansi(kSeparator + name + " " + arguments);
  };
  for (const std::string& name : {"child" + kExe, std::string("child")}) {
    EXPECT_EQ(platform::program_file_of(line(name, "0")), OLESTR(""));
    EXPECT_EQ(StartProcess(line(name, "0"), true), 0);
    EXPECT_FALSE(SyncShell(line(name, "0"), 10000, false, true));
  }

  fs::copy_file(helper_program("corvane_test_child"), child);
  EXPECT_EQ(platform::program_file_of(line("child" + kExe, "0 with arguments")), ole_path(child));
  EXPECT_TRUE(SyncShell(line("child" + kExe, "0 with arguments"), 10000, false, true));
  EXPECT_TRUE(fs::exists(child.string() + ".ran"));
  EXPECT_FALSE(fs::exists(decoy.string() + ".ran"));
#ifdef _WIN32
  // Named without ".exe": the system adds it, and so does the search.
  EXPECT_EQ(platform::program_file_of(line("child", "0")), ole_path(child));
#endif
  // Arguments that are paths, or switches, are the program's own.
  EXPECT_EQ(
      platform::program_file_of(ole_path(child) + OLESTR(" /s ") + ole_path(folder) + OLESTR(" x")),
      ole_path(child));
}

TEST(ProgramStarts, OnlyABareNameIsLookedForOnTheSearchPath) {
  // clang-format off
  const std::pair<const OLECHAR*, bool> cases[] = {
      {OLESTR("notepad.exe file.txt"), true}, {OLESTR("  \"my tool\" x"), true},
      {OLESTR("C:\\Tools\\app.exe"), false}, {OLESTR("./app"), false}, {OLESTR("C:app"), false},
      {OLESTR("\"C:\\My Tools\\app.exe\""), false}, {OLESTR("   "), false}};
  // clang-format on
  for (const auto& [line, bare] : cases)
    EXPECT_EQ(platform::names_bare_program(line), bare) << narrow(line);
}

}  // namespace
}  // namespace corvane::modVBTrace
