// The decisions the message boxes and the XML error log take from the
// suite's marker files, and hang-dump diagnosis with the debugger object.
#include <gtest/gtest.h>

#include <fstream>

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
  testing::FakeDebugger debugger;
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
  // The list is read into 1,024 characters: a name that ends within the
  // first 1,023 counts, one cut by the end of the buffer does not.
  const std::string names = std::string(1023 - 7, 'x') + ";";
  side.put("DebugInfo.ini", "[DebugInfo]\r\nErrorsToDiagnose=" + names + "Corvane\r\n");
  EXPECT_FALSE(DiagnoseThisComponent());
  side.put("DebugInfo.ini", "[DebugInfo]\r\nErrorsToDiagnose=" + names.substr(1) + "Corvane\r\n");
  EXPECT_TRUE(DiagnoseThisComponent());
  side.put("DebugInfo.ini", "[DebugInfo]\r\nErrorsToDiagnose=Other\r\n");
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

#include <chrono>
#include <thread>

#include "platform/module_info.h"
#include "platform/processes.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace corvane::modVBTrace {
namespace {

#ifdef _WIN32
constexpr const char* kExe = ".exe";
#else
constexpr const char* kExe = "";
#endif

fs::path own_folder() {
  return testing::program_folder();
}

std::string wait_for_file(const fs::path& p) {
  for (int i = 0; i < 200 && !fs::exists(p); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return testing::read_file(testing::ole_path(p));
}

// Runs the terminate host (from `host_folder`) with a side folder and a
// module folder, and the mode and text given; its exit code.
std::uint32_t run_terminate_host(const fs::path& side, const fs::path& modules, const fs::path& log,
                                 const fs::path& host_folder = own_folder(),
                                 const std::string& mode_and_text = "") {
  const OleString command =
      OLESTR("\"") +
      testing::ole_path(host_folder / (std::string("corvane_terminate_host") + kExe)) +
      OLESTR("\" \"") + testing::ole_path(side) + OLESTR("\" \"") + testing::ole_path(modules) +
      OLESTR("\" \"") + testing::ole_path(log) + OLESTR("\" ") + testing::wide(mode_and_text);
  const platform::StartedProcess host = platform::Processes::system().start(command, true, false);
  EXPECT_NE(host.process, 0) << host.error;
  const std::uint32_t code = platform::Processes::system().exit_code(host.process);
  platform::Processes::system().close(host.process);
  return code;
}

TEST(CrashHandling, CallTerminateQuillonRestartsTheSuiteAndEndsTheProcess) {
  TraceHarness h;
  const fs::path side = h.folder.path() / "side";
  const fs::path modules = h.folder.path() / "modules";
  fs::create_directories(side);
  fs::create_directories(modules);
  std::ofstream(side / "WordPID.txt", std::ios::binary) << "123\r\nmore\r\n";
#ifdef _WIN32
  SetFileAttributesW((side / "WordPID.txt").wstring().c_str(), FILE_ATTRIBUTE_HIDDEN);
#endif
  fs::copy_file(own_folder() / (std::string("corvane_test_child") + kExe),
                modules / "QuillonMT.exe");  // the suite's name on every system
  const fs::path calls = own_folder() / "TerminateQuillon.calls";
  fs::remove(calls);
  const fs::path log = h.folder.path() / "detail.log";

  EXPECT_EQ(run_terminate_host(side, modules, log), 0u);  // ended by the routine, code 0
  EXPECT_EQ(wait_for_file(modules / "QuillonMT.exe.ran"), "PID=123 USERSHUTDOWN=False\n");
  const std::string call = testing::read_file(testing::ole_path(calls));
  EXPECT_EQ(call.rfind(log.string() + "\t", 0), 0u) << call;
  EXPECT_EQ(call.substr(call.size() - 3), "\t0\n");
  const std::string text = testing::read_file(testing::ole_path(log));
  for (const char* line : {"modVBTrace.CallTerminateQuillon: Entering sub.\r\n",
                           "modVBTrace.CallTerminateQuillon: sRec = 123.CurrentProcessID: ",
                           "modVBTrace.CallTerminateQuillon: Shelling to QuillonMT to restart\r\n",
                           "modVBTrace.CallTerminateQuillon: Exiting process\r\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
#ifdef _WIN32
  EXPECT_EQ(GetFileAttributesW((side / "WordPID.txt").wstring().c_str()) & FILE_ATTRIBUTE_HIDDEN,
            0u);
#endif
  fs::remove(calls);
}

TEST(CrashHandling, WithoutTheMainProgramTheErrorIsLoggedAndTheProcessGoesOn) {
  TraceHarness h;
  const fs::path side = h.folder.path() / "side";
  const fs::path modules = h.folder.path() / "no-modules";
  fs::create_directories(side);
  std::ofstream(side / "WordPID.txt", std::ios::binary) << "not a number\r\n";
  const fs::path log = h.folder.path() / "detail.log";
  EXPECT_EQ(run_terminate_host(side, modules, log), 3u);  // came back: no exit
  const std::string text = testing::read_file(testing::ole_path(log));
  EXPECT_NE(text.find("GlobalErrorsLog >>> modVBTrace.CallTerminateQuillon\tCouldn't find "),
            std::string::npos)
      << text;
  EXPECT_NE(
      text.find("GlobalErrorsLog >>> modVBTrace.CallTerminateQuillon\tError 53: File not found\r\n"
                "in Corvane.modVBTrace.CallTerminateQuillon.\r\n"),
      std::string::npos)
      << text;
  EXPECT_EQ(text.find("Exiting process"), std::string::npos);
  fs::remove(own_folder() / "TerminateQuillon.calls");
}

TEST(CrashHandling, WithoutTheUtilityLibraryTheErrorIsLoggedAndTheProcessGoesOn) {
  TraceHarness h;
  const fs::path side = h.folder.path() / "side";
  const fs::path modules = h.folder.path() / "modules";
  fs::create_directories(side);
  fs::create_directories(modules);
  fs::copy_file(own_folder() / (std::string("corvane_test_child") + kExe),
                modules / "QuillonMT.exe");
  // The host alone in a folder: no library beside it.
  const fs::path alone = h.folder.path() / "alone";
  fs::create_directories(alone);
  const std::string host = std::string("corvane_terminate_host") + kExe;
  fs::copy_file(own_folder() / host, alone / host);
  const fs::path log = h.folder.path() / "detail.log";
  EXPECT_EQ(run_terminate_host(side, modules, log, alone), 3u);
  const std::string text = testing::read_file(testing::ole_path(log));
  EXPECT_NE(
      text.find(
          "GlobalErrorsLog >>> modVBTrace.CallTerminateQuillon\tError 53: File not found\r\n"),
      std::string::npos)
      << text;
  EXPECT_EQ(text.find("Shelling to QuillonMT"), std::string::npos);
  EXPECT_FALSE(fs::exists(modules / "QuillonMT.exe.ran"));
}

// A fatal error (number 10000, or any error once the suite's crash handler
// has left its marker): the system-error box, the records, then the crash
// marker is deleted and the suite restarted, and the process ends with 0.
// The marker is looked for also when the number alone is fatal.
TEST(CrashHandling, AFatalErrorRestartsTheSuiteAfterItsBox) {
  const std::pair<const char*, bool> kRuns[] = {{"10000", false}, {"5", true}, {"10000", true}};
  for (const auto& [number, marker] : kRuns) {
    TraceHarness h;
    const fs::path side = h.folder.path() / "side";
    const fs::path modules = h.folder.path() / "modules";
    fs::create_directories(side);
    fs::create_directories(modules);
    if (marker) std::ofstream(side / "CrashHandler.txt") << "";
    fs::copy_file(own_folder() / (std::string("corvane_test_child") + kExe),
                  modules / "QuillonMT.exe");
    const fs::path calls = own_folder() / "TerminateQuillon.calls";
    fs::remove(calls);
    const fs::path log = h.folder.path() / "detail.log";

    EXPECT_EQ(
        run_terminate_host(side, modules, log, own_folder(), std::string("errmsgbox ") + number),
        0u);
    EXPECT_EQ(wait_for_file(modules / "QuillonMT.exe.ran"), "PID=0 USERSHUTDOWN=False\n");
    EXPECT_NE(testing::read_file(testing::ole_path(calls)).find(log.string() + "\t"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(side / "CrashHandler.txt"));
    const std::string boxes = testing::read_file(testing::ole_path(side / "boxes.txt"));
    EXPECT_EQ(boxes.rfind("Quillon Warning Message\t4096\tQuillon has encountered a system error "
                          "which prevents it from continuing:\r\n\r\nError ",
                          0),
              0u)
        << boxes;
    EXPECT_NE(boxes.find(" will now attempt to restart and recover your data."), std::string::npos);
    // Its own record at severity 1, then the one of the box it showed.
    const std::string errors = testing::read_file(testing::ole_path(side / "detailErrors.log"));
    EXPECT_NE(errors.find("<severity>1</severity>\r\n"
                          "        <displayedToUser>Y</displayedToUser>\r\n"
                          "        <errorNumber>" +
                          std::string(number) +
                          "</errorNumber>\r\n"
                          "        <errorDescription>Test failure</errorDescription>\r\n"),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find("<module>modTest</module>\r\n        <member>Routine</member>\r\n"
                          "        <lineNumber>42</lineNumber>"),
              std::string::npos);
    EXPECT_NE(errors.find("<severity>2</severity>"), std::string::npos);
    EXPECT_EQ(
        testing::read_file(testing::ole_path(log)).find("Detected crash.") != std::string::npos,
        marker)
        << number;
    fs::remove(calls);
  }
}

// With "Crash.flg" in the side-file folder a report writes its record, shows
// the crash box and ends the process with exit code 0.
TEST(CrashHandling, TheCrashFlagEndsTheProcessAfterTheRecord) {
  TraceHarness h;
  const fs::path side = h.folder.path() / "side";
  fs::create_directories(side);
  const fs::path log = h.folder.path() / "detail.log";
  EXPECT_EQ(run_terminate_host(side, side, log, own_folder(), "report"), 3u);  // no flag: back
  std::ofstream(side / "Crash.flg") << "";
  EXPECT_EQ(run_terminate_host(side, side, log, own_folder(), "report"), 0u);

  EXPECT_EQ(testing::read_file(testing::ole_path(side / "boxes.txt")),
            "Quillon\t16\tQuillon MT has encountered an error from which it cannot recover.  "
            "Please close all your programs and restart your machine.\n");
  const std::string errors = testing::read_file(testing::ole_path(side / "detailErrors.log"));
  std::size_t records = 0;
  for (std::size_t p = 0; (p = errors.find("    </error>\r\n", p)) != std::string::npos; ++p)
    ++records;
  EXPECT_EQ(records, 2u);  // both reports were written before the check
  const std::string text = testing::read_file(testing::ole_path(log));
  EXPECT_NE(text.find("modVBTrace.AppendErrorNode: Exiting process as a result of a crash.\r\n"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace corvane::modVBTrace
