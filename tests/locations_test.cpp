// Where the side files live: the component's folder, or the suite's data
// folder when the suite's main program lies beside the component or its
// development environment holds its event; the module path; what happens
// when a log's folder is missing; the texts.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "platform/module_info.h"
#include "support/log_capture.h"
#include "trace/locations.h"
#include "trace/module_values.h"
#include "trace/summary_log.h"
#include "trace/trace_log.h"

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;

// The component as if installed in "install", the roaming folder "roaming".
class Installation {
 public:
  Installation() : module_override_(module_), environment_override_(environment) {
    fs::create_directories(install);
    fs::create_directories(roaming);
    module_.path = testing::ole_path(install / "Corvane.dll");
    environment.roaming = testing::ole_path(roaming);
    harness.init();
  }
  static void put_file(const fs::path& p, const std::string& content) {
    std::ofstream(p, std::ios::binary) << content;
  }

  testing::TraceHarness harness;
  testing::FakeEnvironment environment;
  const fs::path install = harness.folder.path() / "install";
  const fs::path roaming = harness.folder.path() / "roaming";
  const fs::path data = roaming / "Marrowind" / "QuillonMTV10";

 private:
  struct Module final : platform::ModuleInfo {
    OleString path;
    OleString own_file_path() override { return path; }
  } module_;
  platform::ModuleInfo::Override module_override_;
  platform::Environment::Override environment_override_;
};

TEST(Locations, OutsideTheSuiteTheComponentsFolder) {
  Installation setup;
  EXPECT_EQ(AppPath(), testing::ole_path(setup.install));
  EXPECT_FALSE(UseQuillonAppPath());
  EXPECT_EQ(ModulePath(), testing::ole_path(setup.install));
  EXPECT_EQ(CrashHandlerFile(), testing::ole_path(setup.install) + OLESTR("\\CrashHandler.txt"));
  EXPECT_FALSE(fs::exists(setup.roaming / "Marrowind"));
}

TEST(Locations, TheSuitesMainProgramSwitchesToTheDataFolder) {
  Installation setup;
  setup.put_file(setup.install / "QuillonMT.exe", "");
  const OleString data = testing::ole_path(setup.roaming) + OLESTR("\\Marrowind\\QuillonMTV10");
  EXPECT_TRUE(IsQuillonModule());
  EXPECT_EQ(AppPath(), data);
  EXPECT_TRUE(fs::is_directory(setup.data));
  // Decided once: the folder is not made again, the answer does not change.
  fs::remove_all(setup.roaming / "Marrowind");
  fs::remove(setup.install / "QuillonMT.exe");
  EXPECT_EQ(AppPath(), data);
  EXPECT_FALSE(fs::exists(setup.roaming / "Marrowind"));
}

TEST(Locations, TheDevelopmentEnvironmentsEventSwitchesToo) {
  Installation setup;
  EXPECT_FALSE(InQuillonDevEnv());  // no one else holds it
  setup.environment.existing_events.insert(OLESTR("MarrowindDevEnvHandle"));
  EXPECT_TRUE(InQuillonDevEnv());
  EXPECT_EQ(setup.environment.closed.size(), 2u);  // each look closes its handle
  EXPECT_TRUE(UseQuillonAppPath());
  setup.environment.existing_events.clear();
  EXPECT_FALSE(InQuillonDevEnv());
  EXPECT_TRUE(UseQuillonAppPath());  // cached for the apartment
}

TEST(Locations, ModulePathFromTheSuitesFile) {
  Installation setup;
  setup.put_file(setup.install / "QuillonMT.exe", "");
  fs::create_directories(setup.data);
  setup.put_file(setup.data / "ModulePath.txt", "  C:\\Suite\\Modules\r\nsecond line\r\n");
  EXPECT_EQ(ModulePath(), OLESTR("C:\\Suite\\Modules"));
  setup.put_file(setup.data / "ModulePath.txt", "\"C:\\Quoted, Folder\",x\r\n");
  EXPECT_EQ(QuillonPathVal(), OLESTR("C:\\Quoted, Folder"));
  setup.put_file(setup.data / "ModulePath.txt", "");
  EXPECT_EQ(GetQuillonModulePath(), testing::ole_path(setup.install));
  EXPECT_TRUE(setup.harness.detail_lines().empty());

  // A missing file: the component's folder, and one entry in the error log.
  fs::remove(setup.data / "ModulePath.txt");
  EXPECT_EQ(GetQuillonModulePath(), testing::ole_path(setup.install));
  EXPECT_TRUE(setup.harness.errors_logged("modVBTrace.QuillonPathVal",
                                          "Error 53: File not found\r\nin Corvane.modVBTrace."
                                          "QuillonPathVal.\r\nThe error occured at line: 0"))
      << testing::read_file(setup.harness.detail_log());
}

// A log whose folder is missing: the call returns, and what was to be
// written goes where the writer falls back to.
TEST(Locations, MissingFolderFallbacks) {
  using Step = std::function<void(testing::TraceHarness&)>;
  const std::pair<Step, Step> rows[] = {
      {[](auto& h) {  // the detail log: the debugger output
         module_values().detail_log_path = h.folder.file("gone/detail.log");
         GlobalTrace(OLESTR("src"), OLESTR("msg"), 2);
       },
       [](auto& h) {
         const std::string line = h.stamped("src", "msg");
         EXPECT_EQ(h.debug_output.lines.back() + "\r\n",
                   "Couldn't open log in GlobalLog. Msg = " + line);
       }},
      {[](auto& h) {  // the summary log: the detail log
         module_values().summary_log_path = h.folder.file("gone/summary.log");
         GlobalSummaryLog(OLESTR("src"), OLESTR("lost"), false, true, false, false);
       },
       [](auto& h) {
         EXPECT_EQ(h.detail_lines().size(), 1u);
         EXPECT_TRUE(h.traced("modVBTrace.WriteToSummaryLog", "Couldn't open log. Msg = \t\tlost"));
       }},
      {[](auto& h) {  // the errors file: the detail log and a warning box
         module_values().log_folder = h.folder.file("gone/deeper");
         GlobalErrorsLog(OLESTR("m.r"), OLESTR("lost"), 2, false, true);
       },
       [](auto& h) {
         EXPECT_TRUE(h.traced_masked(
             "modVBTrace.WriteErrorNode",
             "Unable to log to Quillon MT Error Table.  Error 76: Path not found\r\n"
             "in Corvane.modVBTrace.WriteErrorNode.\r\nThe error occured at line: 0"));
         EXPECT_EQ(h.shown("Unable to log to Quillon MT Error Table."), 1u);
         EXPECT_EQ(h.boxes.last().title, "Quillon MT Warning");
       }},
  };
  for (const auto& [act, check] : rows) {
    testing::TraceHarness h;
    h.init();
    act(h);  // returns
    check(h);
    EXPECT_FALSE(fs::exists(h.folder.path() / "gone"));
  }
}

TEST(Locations, Texts) {
  testing::TraceHarness h;
  const std::pair<const char*, const char*> scribe[] = {
      {"Failed: com.marrowind.quillon.server.DbException: no row", "Failed:  no row"},
      {"plain text", "plain text"},
      {"x COM.MARROWIND.QUILLON.SERVER.Y: z", "x  z"},
      {"a com.marrowind.quillon.server.b and com.marrowind.quillon.server.", "a b and "},
  };
  for (const auto& [text, shown] : scribe)
    EXPECT_EQ(testing::narrow(sfnStripScribePrefix(testing::wide(text))), shown) << text;

  testing::FakeEnvironment windows;
  platform::Environment::Override use(windows);
  windows.titles[5] = OLESTR("Trace Viewer");
  EXPECT_EQ(sfnWindowText(5), OLESTR("Trace Viewer"));
  EXPECT_EQ(sfnWindowText(6), OLESTR("***NONE"));  // names no window
}

}  // namespace
}  // namespace corvane::modVBTrace
