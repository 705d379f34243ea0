// Where the side files live: the component's folder, or the suite's data
// folder when the suite's main program lies beside the component or its
// development environment holds its event; the module path; the texts.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/module_info.h"
#include "support/log_capture.h"
#include "trace/locations.h"
#include "trace/module_values.h"

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;
using testing::narrow;

// The component as if installed in `folder`, the roaming folder in `roaming`.
class Installation {
 public:
  Installation() : module_override_(module_), environment_override_(environment_) {
    fs::create_directories(harness.folder.path() / "install");
    fs::create_directories(harness.folder.path() / "roaming");
    module_.path = testing::ole_path(harness.folder.path() / "install" / "Corvane.dll");
    environment_.roaming = testing::ole_path(harness.folder.path() / "roaming");
  }
  fs::path install() const { return harness.folder.path() / "install"; }
  fs::path roaming() const { return harness.folder.path() / "roaming"; }
  void put_file(const fs::path& p, const std::string& content) {
    std::ofstream(p, std::ios::binary) << content;
  }

  testing::TraceHarness harness;

 private:
  struct Module final : platform::ModuleInfo {
    OleString path;
    OleString own_file_path() override { return path; }
  } module_;
  struct Env final : platform::Environment {
    OleString roaming;
    std::optional<OleString> roaming_app_data_folder() override { return roaming; }
    std::intptr_t create_event(OleStringView name, bool* existed) override {
      return platform::Environment::system().create_event(name, existed);
    }
    void signal_event(std::intptr_t e) override { platform::Environment::system().signal_event(e); }
    void close_event(std::intptr_t e) override { platform::Environment::system().close_event(e); }
    OleString window_text(std::intptr_t, int) override { return OleString(); }
  } environment_;
  platform::ModuleInfo::Override module_override_;
  platform::Environment::Override environment_override_;
};

TEST(Locations, OutsideTheSuiteTheComponentsFolder) {
  Installation setup;
  setup.harness.init();
  EXPECT_EQ(AppPath(), testing::ole_path(setup.install()));
  EXPECT_FALSE(UseQuillonAppPath());
  EXPECT_EQ(ModulePath(), testing::ole_path(setup.install()));
  EXPECT_EQ(CrashHandlerFile(), testing::ole_path(setup.install()) + OLESTR("\\CrashHandler.txt"));
  EXPECT_FALSE(fs::exists(setup.roaming() / "Marrowind"));
}

TEST(Locations, TheSuitesMainProgramSwitchesToTheDataFolder) {
  Installation setup;
  setup.harness.init();
  setup.put_file(setup.install() / "QuillonMT.exe", "");
  const OleString expected =
      testing::ole_path(setup.roaming()) + OLESTR("\\Marrowind\\QuillonMTV10");
  EXPECT_TRUE(IsQuillonModule());
  EXPECT_EQ(AppPath(), expected);
  EXPECT_TRUE(fs::is_directory(setup.roaming() / "Marrowind" / "QuillonMTV10"));
  // Decided once: the folder is not made again, the answer does not change.
  fs::remove_all(setup.roaming() / "Marrowind");
  fs::remove(setup.install() / "QuillonMT.exe");
  EXPECT_EQ(AppPath(), expected);
  EXPECT_FALSE(fs::exists(setup.roaming() / "Marrowind"));
}

TEST(Locations, TheDevelopmentEnvironmentsEventSwitchesToo) {
  Installation setup;
  setup.harness.init();
  EXPECT_FALSE(InQuillonDevEnv());  // no one else holds it
  bool existed = true;
  platform::Environment& system = platform::Environment::system();
  const std::intptr_t held = system.create_event(OLESTR("MarrowindDevEnvHandle"), &existed);
  ASSERT_NE(held, 0);
  EXPECT_FALSE(existed);
  EXPECT_TRUE(InQuillonDevEnv());
  EXPECT_TRUE(UseQuillonAppPath());
  system.close_event(held);
  EXPECT_FALSE(InQuillonDevEnv());
  EXPECT_TRUE(UseQuillonAppPath());  // cached for the apartment
}

TEST(Locations, ModulePathFromTheSuitesFile) {
  Installation setup;
  setup.harness.init();
  setup.put_file(setup.install() / "QuillonMT.exe", "");
  const fs::path data = setup.roaming() / "Marrowind" / "QuillonMTV10";
  fs::create_directories(data);
  setup.put_file(data / "ModulePath.txt", "  C:\\Suite\\Modules\r\nsecond line\r\n");
  EXPECT_EQ(ModulePath(), OLESTR("C:\\Suite\\Modules"));
  setup.put_file(data / "ModulePath.txt", "\"C:\\Quoted, Folder\",x\r\n");
  EXPECT_EQ(QuillonPathVal(), OLESTR("C:\\Quoted, Folder"));
  setup.put_file(data / "ModulePath.txt", "");
  EXPECT_EQ(GetQuillonModulePath(), testing::ole_path(setup.install()));
  EXPECT_TRUE(setup.harness.detail_lines().empty());

  // A missing file: the component's folder, and one entry in the error log.
  fs::remove(data / "ModulePath.txt");
  EXPECT_EQ(GetQuillonModulePath(), testing::ole_path(setup.install()));
  const std::string log = testing::read_file(setup.harness.detail_log());
  EXPECT_NE(log.find("GlobalErrorsLog >>> modVBTrace.QuillonPathVal\tError 53: File not found\r\n"
                     "in Corvane.modVBTrace.QuillonPathVal.\r\nThe error occured at line: "),
            std::string::npos);
}

TEST(Locations, Texts) {
  testing::TraceHarness h;
  EXPECT_EQ(AppName(), OLESTR("Quillon"));
  EXPECT_EQ(
      sfnStripScribePrefix(OLESTR("Failed: com.marrowind.quillon.server.DbException: no row")),
      OLESTR("Failed:  no row"));
  EXPECT_EQ(sfnStripScribePrefix(OLESTR("plain text")), OLESTR("plain text"));
  EXPECT_EQ(sfnStripScribePrefix(OLESTR("x COM.MARROWIND.QUILLON.SERVER.Y: z")), OLESTR("x  z"));
  EXPECT_EQ(sfnStripScribePrefix(
                OLESTR("a com.marrowind.quillon.server.b and com.marrowind.quillon.server.")),
            OLESTR("a b and "));
  EXPECT_EQ(sfnWindowText(0x7ffff0), OLESTR("***NONE"));  // names no window
  EXPECT_EQ(sfnAppDataFolder().empty(), false);
}

}  // namespace
}  // namespace corvane::modVBTrace
