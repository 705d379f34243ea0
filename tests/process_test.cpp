// Starting programs and waiting for them, with the lines the detail log gets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/module_info.h"
#include "platform/processes.h"
#include "support/log_capture.h"
#include "trace/process_launching.h"

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;
using testing::TraceHarness;

#ifdef _WIN32
constexpr const char* kExe = ".exe";
#else
constexpr const char* kExe = "";
#endif

// The test program built beside this one.
fs::path child_program() {
  const OleString own = platform::ModuleInfo::system().own_file_path();
#ifdef _WIN32
  const fs::path self(std::wstring(own.begin(), own.end()));
#else
  const fs::path self(testing::narrow(own));
#endif
  return self.parent_path() / (std::string("corvane_test_child") + kExe);
}

OleString command(const fs::path& program, const std::string& arguments) {
  return testing::ole_path(program) + testing::wide(" " + arguments);
}

TEST(Processes, SyncShellWaitsForTheProgram) {
  TraceHarness h;
  h.init(2);
  const fs::path marker = h.folder.path() / "ran.txt";
  const OleString line = command(child_program(), "50 " + marker.string());
  EXPECT_TRUE(SyncShell(line, 0, false, true));  // 0: no limit
  EXPECT_EQ(testing::read_file(testing::ole_path(marker)), "50 " + marker.string() + "\n");
  EXPECT_TRUE(SyncShell(line, 10000, false, false));
  const auto lines = h.detail_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "02-01-26 09:05:03.007\tCorvane\tmodVBTrace.SyncShell: CommandLine = " +
                          testing::narrow(line));
}

TEST(Processes, ALimitThatRunsOutAndAProgramThatIsNotThere) {
  TraceHarness h;
  h.init(2);
  EXPECT_FALSE(SyncShell(command(child_program(), "1000"), 100, false, true));
  EXPECT_FALSE(SyncShell(OLESTR("no-such-program-anywhere"), 100, false, true));
  const std::string log = testing::read_file(h.detail_log());
  EXPECT_NE(log.find("modVBTrace.StartProcess: Could not create process. GetLastError = 2\r\n"
                     "no-such-program-anywhere\r\n"),
            std::string::npos)
      << log;
}

TEST(Processes, ABlankInAFolderNeverStartsAnotherProgram) {
  TraceHarness h;
  h.init(2);
  const fs::path folder = h.folder.path() / "with space";
  fs::create_directories(folder);
  fs::copy_file(child_program(), folder / (std::string("child") + kExe));
  // The program that an unquoted line would start first elsewhere.
  fs::copy_file(child_program(), h.folder.path() / (std::string("with") + kExe));
  // Unquoted, as the suite's own command lines are; the program's arguments
  // are its own business, which program runs is ours.
  EXPECT_TRUE(SyncShell(command(folder / (std::string("child") + kExe), "0"), 10000, false, true));
  EXPECT_TRUE(fs::exists(folder / (std::string("child") + kExe + ".ran")));
  EXPECT_FALSE(fs::exists(h.folder.path() / (std::string("with") + kExe + ".ran")));
}

TEST(Processes, AThreadPriorityHoldsTheStartUntilItIsSet) {
  TraceHarness h;
  h.init(2);
  const OleString line = command(child_program(), "0");
  const std::intptr_t process = StartProcess(line, true, -1);
  ASSERT_NE(process, 0);
  EXPECT_EQ(platform::Processes::current().wait(process, 10000), 0u);
  platform::Processes::current().close(process);
  const std::string prefix = "02-01-26 09:05:03.007\tCorvane\tmodVBTrace.StartProcess: ";
  EXPECT_EQ(h.detail_lines(), (std::vector<std::string>{
                                  prefix + "Created suspended process: " + testing::narrow(line),
                                  prefix + "Resumed process: " + testing::narrow(line)}));
}

}  // namespace
}  // namespace corvane::modVBTrace
