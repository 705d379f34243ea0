// The decisions the message boxes and the XML error log take from the
// suite's marker files, and hang-dump diagnosis with the debugger object.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/automation_objects.h"
#include "support/log_capture.h"
#include "trace/crash_handling.h"
#include "trace/module_values.h"

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;
using testing::TraceHarness;

// A harness whose side-file folder is its own folder.
struct SideFiles {
  SideFiles() {
    harness.init(2);
    module_values().app_path = testing::ole_path(harness.folder.path());
  }
  void put(const std::string& name, const std::string& content) {
    std::ofstream(harness.folder.path() / name, std::ios::binary) << content;
  }
  TraceHarness harness;
};

// A debugger object that records the calls it gets.
class FakeDebugger final : public platform::AutomationObjects {
 public:
  std::intptr_t create(OleStringView prog_id) override {
    created = testing::narrow(prog_id);
    return 42;
  }
  void call(std::intptr_t object, OleStringView method,
            const std::vector<OleString>& arguments) override {
    std::string line = std::to_string(object) + " " + testing::narrow(method);
    for (const auto& a : arguments) line += " " + testing::narrow(a);
    calls.push_back(line);
  }
  std::string created;
  std::vector<std::string> calls;
};

TEST(CrashHandling, TheCrashMarker) {
  SideFiles side;
  EXPECT_FALSE(bfnCrashDetected());
  side.put("CrashHandler.txt", "");
  EXPECT_TRUE(bfnCrashDetected());
  EXPECT_EQ(side.harness.detail_lines(),
            std::vector<std::string>{"02-01-26 09:05:03.007\tCorvane\tmodVBTrace.bfnCrashDetected: "
                                     "Detected crash."});
  EXPECT_TRUE(fs::exists(side.harness.folder.path() / "CrashHandler.txt"));  // not deleted here
}

TEST(CrashHandling, RemoteCallErrors) {
  TraceHarness h;
  EXPECT_TRUE(bfnRemoteCallError(OLESTR("Error -2147023170: Automation error\r\nin x.")));
  EXPECT_TRUE(
      bfnRemoteCallError(OLESTR("The REMOTE server machine does not exist or is UNAVAILABLE")));
  EXPECT_FALSE(bfnRemoteCallError(OLESTR("Error 5: Invalid procedure call or argument")));
  EXPECT_FALSE(bfnRemoteCallError(OLESTR("")));
}

TEST(CrashHandling, AbendsAndUpload) {
  SideFiles side;
  EXPECT_EQ(sfnAbendInfo(), OLESTR(""));
  side.put("Abends.txt", "");
  EXPECT_EQ(sfnAbendInfo(), OLESTR(""));
  side.put("Abends.txt", "only one\r\n");
  EXPECT_EQ(sfnAbendInfo(), OLESTR("only one"));
  side.put("Abends.txt", "A\r\nB\r\nC\r\n");
  EXPECT_EQ(sfnAbendInfo(), OLESTR("A, B, C"));
  EXPECT_TRUE(fs::exists(side.harness.folder.path() / "Abends.txt"));
  EXPECT_TRUE(UploadEnabled());
}

TEST(CrashHandling, HangDumpDiagnosis) {
  SideFiles side;
  FakeDebugger debugger;
  platform::AutomationObjects::Override use(debugger);
  EXPECT_FALSE(MonitorForHangDumps());  // no marker: undecided, asked again later
  EXPECT_FALSE(module_values().hang_monitor.has_value());
  side.put("DebugInfo.flg", "");
  side.put("DebugInfo.ini", "[DebugInfo]\r\nErrorsToDiagnose=Other;CORVANE;More\r\n");
  EXPECT_TRUE(DiagnoseThisComponent());
  EXPECT_TRUE(MonitorForHangDumps());
  EXPECT_EQ(debugger.created, "MarrowindDbgV10.clsDebug");
  EXPECT_EQ(debugger.calls,
            (std::vector<std::string>{"42 Init Corvane", "42 ParseErrorsToDiagnose"}));
  // Decided for the apartment.
  fs::remove(side.harness.folder.path() / "DebugInfo.flg");
  EXPECT_TRUE(MonitorForHangDumps());
  EXPECT_EQ(debugger.calls.size(), 2u);
}

TEST(CrashHandling, ADiagnosisOfAnotherComponentOrWithoutTheDebugger) {
  SideFiles side;
  side.put("DebugInfo.flg", "");
  side.put("DebugInfo.ini", "[DebugInfo]\r\nErrorsToDiagnose=Other\r\n");
  EXPECT_FALSE(DiagnoseThisComponent());
  EXPECT_FALSE(MonitorForHangDumps());
  EXPECT_EQ(module_values().hang_monitor, std::optional<bool>(false));

  // The component is named, but no debugger class exists here.
  SideFiles second;
  second.put("DebugInfo.flg", "");
  second.put("DebugInfo.ini", "[DebugInfo]\r\nErrorsToDiagnose=corvane\r\n");
  EXPECT_FALSE(MonitorForHangDumps());
  const std::string log = testing::read_file(second.harness.detail_log());
  EXPECT_NE(log.find("modVBTrace.DebuggerObjectInitialized: Error 429: ActiveX component can't "
                     "create object\r\nin Corvane.modVBTrace.DebuggerObjectInitialized.\r\n"),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace corvane::modVBTrace
