// Starting programs and waiting for them, with the lines the detail log gets,
// and which program a command line starts when its path holds blanks.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/processes.h"
#include "platform/text_encoding.h"
#include "support/log_capture.h"
#include "trace/process_launching.h"

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;
using testing::TraceHarness;

#ifdef _WIN32
constexpr const char* kExe = ".exe";
constexpr const char* kSeparator = "\\";
#else
constexpr const char* kExe = "";
constexpr const char* kSeparator = "/";
#endif

// The command line that starts the helper child with those arguments.
OleString child(const std::string& arguments) {
  return testing::ole_path(testing::helper_program("corvane_test_child")) +
         testing::wide(" " + arguments);
}

class Processes : public ::testing::Test {
 protected:
  Processes() { h.init(); }
  TraceHarness h;
};

TEST_F(Processes, SyncShellWaitsForTheProgram) {
  const fs::path marker = h.folder.path() / "ran.txt";
  const OleString line = child("50 " + marker.string());
  EXPECT_TRUE(SyncShell(line, 0, false, true));  // 0: no limit
  EXPECT_EQ(testing::read_file(testing::ole_path(marker)), "50 " + marker.string() + "\n");
  EXPECT_TRUE(SyncShell(line, 10000, false, false));
  const auto lines = h.detail_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0] + "\r\n",
            h.stamped("modVBTrace.SyncShell", "CommandLine = " + testing::narrow(line)));
}

TEST_F(Processes, ALimitThatRunsOutAndAProgramThatIsNotThere) {
  EXPECT_FALSE(SyncShell(child("1000"), 100, false, true));
  EXPECT_FALSE(SyncShell(OLESTR("no-such-program-anywhere"), 100, false, true));
  EXPECT_TRUE(h.traced("modVBTrace.StartProcess",
                       "Could not create process. GetLastError = 2\r\nno-such-program-anywhere"));
}

TEST_F(Processes, AThreadPriorityHoldsTheStartUntilItIsSet) {
  const OleString line = child("0");
  const std::intptr_t process = StartProcess(line, true, -1);
  ASSERT_NE(process, 0);
  EXPECT_EQ(platform::Processes::current().wait(process, 10000), 0u);
  platform::Processes::current().close(process);
  EXPECT_EQ(
      testing::read_file(h.detail_log()),
      h.stamped("modVBTrace.StartProcess", "Created suspended process: " + testing::narrow(line)) +
          h.stamped("modVBTrace.StartProcess", "Resumed process: " + testing::narrow(line)));
}

// A folder "with space" and, beside it, the program "with" that a line
// naming a program inside the folder would start if it were split at the
// blank. The suite's own command lines are unquoted.
struct BlankInFolder {
  TraceHarness h;
  fs::path folder = h.folder.path() / "with space";
  fs::path decoy = h.folder.path() / (std::string("with") + kExe);
  BlankInFolder() {
    h.init(2);
    fs::create_directories(folder);
    fs::copy_file(testing::helper_program("corvane_test_child"), decoy);
  }
  OleString line(const std::string& name, const std::string& arguments) const {
    return testing::ole_path(folder) + platform::from_ansi(kSeparator + name + " " + arguments);
  }
  bool decoy_ran() const { return fs::exists(decoy.string() + ".ran"); }
};

TEST(ProgramStarts, AMissingProgramNeverStartsTheShorterPath) {
  BlankInFolder setup;
  // Named with and without its extension, as Windows lets a program be named.
  for (const std::string& name : {std::string("child") + kExe, std::string("child")}) {
    const OleString line = setup.line(name, "0");
    EXPECT_EQ(platform::program_file_of(line), OLESTR(""));
    EXPECT_EQ(StartProcess(line, true), 0);
    EXPECT_FALSE(SyncShell(line, 10000, false, true));
  }
  EXPECT_FALSE(setup.decoy_ran());
}

TEST(ProgramStarts, TheProgramInTheFolderWithABlank) {
  BlankInFolder setup;
  const fs::path child = setup.folder / (std::string("child") + kExe);
  fs::copy_file(testing::helper_program("corvane_test_child"), child);
  const OleString line = setup.line(std::string("child") + kExe, "0 with arguments");
  EXPECT_EQ(platform::program_file_of(line), testing::ole_path(child));
  EXPECT_TRUE(SyncShell(line, 10000, false, true));
  EXPECT_TRUE(fs::exists(child.string() + ".ran"));
  EXPECT_FALSE(setup.decoy_ran());
#ifdef _WIN32
  // Named without ".exe": the system adds it, and so does the search.
  EXPECT_EQ(platform::program_file_of(setup.line("child", "0")), testing::ole_path(child));
#endif
  // Arguments that are paths, or switches, are the program's own.
  const OleString with_paths =
      testing::ole_path(child) + OLESTR(" /s ") + testing::ole_path(setup.folder) + OLESTR(" x");
  EXPECT_EQ(platform::program_file_of(with_paths), testing::ole_path(child));
}

TEST(ProgramStarts, OnlyABareNameIsLookedForOnTheSearchPath) {
  const std::pair<const OLECHAR*, bool> cases[] = {{OLESTR("notepad.exe file.txt"), true},
                                                   {OLESTR("  \"my tool\" x"), true},
                                                   {OLESTR("C:\\Tools\\app.exe"), false},
                                                   {OLESTR("./app"), false},
                                                   {OLESTR("C:app"), false},
                                                   {OLESTR("\"C:\\My Tools\\app.exe\""), false},
                                                   {OLESTR("   "), false}};
  for (const auto& [line, bare] : cases) {
    EXPECT_EQ(platform::names_bare_program(line), bare) << testing::narrow(line);
  }
}

}  // namespace
}  // namespace corvane::modVBTrace
