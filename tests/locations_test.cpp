// Where the side files live: the component's folder, or the suite's data
// folder when the suite's main program lies beside the component or its
// development environment holds its event; the module path; what happens
// when a log's folder is missing.
#include <gtest/gtest.h>

#include "platform/module_info.h"
#include "support/log_capture.h"
#include "trace/locations.h"
#include "trace/summary_log.h"
#include "trace/trace_log.h"

namespace corvane::modVBTrace {
namespace {

using namespace testing;

// The component as if installed in "install", the roaming folder "roaming".
struct Locations : ::testing::Test, platform::ModuleInfo {
  Locations() {
    for (const fs::path& folder : {install, roaming}) fs::create_directories(folder);
    environment.roaming = ole_path(roaming);
  }
  OleString own_file_path() override { return ole_path(install / "Corvane.dll"); }

  TraceHarness h{2};
  FakeEnvironment environment;
  const fs::path install = h.folder.path() / "install", roaming = h.folder.path() / "roaming";
  const fs::path data = roaming / "Marrowind" / "QuillonMTV10";
  const OleString data_path = ole_path(roaming) + OLESTR("\\Marrowind\\QuillonMTV10");
  platform::ModuleInfo::Override module_override{*this};
  platform::Environment::Override environment_override{environment};
};

TEST_F(Locations, OutsideTheSuiteTheComponentsFolder) {
  EXPECT_EQ(AppPath(), ole_path(install));
  EXPECT_FALSE(UseQuillonAppPath());
  EXPECT_EQ(ModulePath(), ole_path(install));
  EXPECT_FALSE(fs::exists(roaming / "Marrowind"));
}

TEST_F(Locations, TheSuitesMainProgramSwitchesToTheDataFolder) {
  h.folder.put("install/QuillonMT.exe");
  EXPECT_TRUE(IsQuillonModule());
  EXPECT_EQ(AppPath(), data_path);
  EXPECT_TRUE(fs::is_directory(data));
  // Decided once: the folder is not made again, the answer does not change.
  fs::remove_all(roaming / "Marrowind");
  fs::remove(install / "QuillonMT.exe");
  EXPECT_EQ(AppPath(), data_path);
  EXPECT_FALSE(fs::exists(roaming / "Marrowind"));
}

TEST_F(Locations, TheDevelopmentEnvironmentsEventSwitchesToo) {
  EXPECT_FALSE(InQuillonDevEnv());  // no one else holds it
  environment.existing_events.insert(OLESTR("MarrowindDevEnvHandle"));
  EXPECT_TRUE(InQuillonDevEnv());
  EXPECT_EQ(environment.closed.size(), 2u);  // each look closes its handle
  EXPECT_TRUE(UseQuillonAppPath());
  environment.existing_events.clear();
  EXPECT_FALSE(InQuillonDevEnv());
  EXPECT_TRUE(UseQuillonAppPath());  // cached for the apartment
}

TEST_F(Locations, ModulePathFromTheSuitesFile) {
  h.folder.put("install/QuillonMT.exe");
  fs::create_directories(data);
  const std::string file = "roaming/Marrowind/QuillonMTV10/ModulePath.txt";
  h.folder.put(file, "  C:\\Suite\\Modules\r\nsecond line\r\n");
  EXPECT_EQ(ModulePath(), OLESTR("C:\\Suite\\Modules"));
  h.folder.put(file, "\"C:\\Quoted, Folder\",x\r\n");
  EXPECT_EQ(QuillonPathVal(), OLESTR("C:\\Quoted, Folder"));
  h.folder.put(file, "");
  EXPECT_EQ(GetQuillonModulePath(), ole_path(install));
  EXPECT_TRUE(h.detail_lines().empty());

  // A missing file: the component's folder, and one entry in the error log.
  fs::remove(data / "ModulePath.txt");
  EXPECT_EQ(GetQuillonModulePath(), ole_path(install));
  EXPECT_TRUE(h.errors_logged("modVBTrace.QuillonPathVal",
                              trap_message(53, "File not found", "modVBTrace.QuillonPathVal")));
}

// A log whose folder is missing: the call returns, and what was to be
// written goes where the writer falls back to: the detail log's line to the
// debugger output, the summary log's to the detail log.
TEST(MissingFolders, Fallbacks) {
  TraceHarness h(2);
  module_values().detail_log_path = h.folder.file("gone/detail.log");
  GlobalTrace(OLESTR("src"), OLESTR("msg"), 2);
  EXPECT_EQ(h.debug_output.lines.back() + "\r\n",
            "Couldn't open log in GlobalLog. Msg = " + h.stamped("src", "msg"));
  h.init();
  module_values().summary_log_path = h.folder.file("gone/summary.log");
  GlobalSummaryLog(OLESTR("src"), OLESTR("lost"), false, true, false, false);
  EXPECT_EQ(h.detail_lines().size(), 1u);
  EXPECT_TRUE(h.traced("modVBTrace.WriteToSummaryLog", "Couldn't open log. Msg = \t\tlost"));
  EXPECT_FALSE(fs::exists(h.folder.path() / "gone"));
}

}  // namespace
}  // namespace corvane::modVBTrace
