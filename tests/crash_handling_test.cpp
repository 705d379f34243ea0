// The suite's marker files, hang-dump diagnosis with the debugger object, and
// the routines that restart the suite and end the process they run in.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include "platform/processes.h"
#include "support/log_capture.h"
#include "trace/crash_handling.h"
#include "trace/module_values.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;
using testing::TraceHarness;

// A harness whose side-file folder is its own folder.
struct CrashHandling : ::testing::Test {
  CrashHandling() {
    h.init(2);
    h.side_files_here();
  }
  void put(const std::string& name, const std::string& content) {
    std::ofstream(h.folder.path() / name, std::ios::binary) << content;
  }
  TraceHarness h;
};

TEST_F(CrashHandling, MarkersAndMessages) {
  EXPECT_FALSE(bfnCrashDetected());
  put("CrashHandler.txt", "");
  EXPECT_TRUE(bfnCrashDetected());
  EXPECT_TRUE(h.traced("modVBTrace.bfnCrashDetected", "Detected crash."));
  EXPECT_TRUE(bfnRemoteCallError(OLESTR("Error -2147023170: Automation error\r\nin x.")));
  EXPECT_TRUE(bfnRemoteCallError(OLESTR("REMOTE server machine does not exist or is UNAVAILABLE")));
  EXPECT_FALSE(bfnRemoteCallError(OLESTR("Error 5: Invalid procedure call or argument")));
  EXPECT_EQ(sfnAbendInfo(), OLESTR(""));
  for (const auto& [content, info] :
       {std::pair{"", OLESTR("")}, {"one\r\n", OLESTR("one")}, {"A\r\nB\nC", OLESTR("A, B, C")}}) {
    put("Abends.txt", content);
    EXPECT_EQ(sfnAbendInfo(), info) << content;
  }
  EXPECT_TRUE(UploadEnabled());
}

TEST_F(CrashHandling, HangDumpDiagnosis) {
  testing::FakeDebugger debugger;
  std::optional<platform::AutomationObjects::Override> use(debugger);
  EXPECT_FALSE(MonitorForHangDumps());  // no marker: undecided, asked again later
  EXPECT_FALSE(module_values().hang_monitor.has_value());
  put("DebugInfo.flg", "");
  put("DebugInfo.ini", "[DebugInfo]\r\nErrorsToDiagnose=Other\r\n");
  EXPECT_FALSE(MonitorForHangDumps());
  EXPECT_EQ(module_values().hang_monitor, std::optional<bool>(false));
  module_values().hang_monitor.reset();
  // The list is read into 1,024 characters: a name that ends within the
  // first 1,023 counts, one cut by the end of the buffer does not.
  const std::string names = "[DebugInfo]\r\nErrorsToDiagnose=" + std::string(1023 - 7, 'x') + ";";
  put("DebugInfo.ini", names + "Corvane\r\n");
  EXPECT_FALSE(DiagnoseThisComponent());
  put("DebugInfo.ini", names.substr(0, names.size() - 2) + ";CORVANE\r\n");
  EXPECT_TRUE(MonitorForHangDumps());
  EXPECT_EQ(debugger.created, "MarrowindDbgV10.clsDebug");
  EXPECT_EQ(debugger.calls,
            (std::vector<std::string>{"42 Init Corvane", "42 ParseErrorsToDiagnose"}));
  fs::remove(h.folder.path() / "DebugInfo.flg");
  EXPECT_TRUE(MonitorForHangDumps());  // decided for the apartment
  EXPECT_EQ(debugger.calls.size(), 2u);

  use.reset();  // the component is named, but no debugger class exists here
  module_values().hang_monitor.reset();
  put("DebugInfo.flg", "");
  EXPECT_FALSE(MonitorForHangDumps());
  EXPECT_TRUE(h.traced_masked(
      "modVBTrace.DebuggerObjectInitialized",
      "Error 429: ActiveX component can't create object\r\nin "
      "Corvane.modVBTrace.DebuggerObjectInitialized.\r\nThe error occured at line: N"));
}

std::string fatal_box(const std::string& number) {
  return "Quillon Warning Message\t4096\tQuillon has encountered a system error which prevents "
         "it from continuing:\r\n\r\nError " +
         number +
         ": Test failure\r\nin Corvane.modTest.Routine.\r\nThe error occured at line: 42\r\n\r\n"
         "Quillon will now attempt to restart and recover your data.\r\n\r\nThe details of this "
         "error have been sent to Orlanth | Marrowind for further analysis.  We are very sorry "
         "for the inconvenience.\n";
}

std::string host_record(const char* severity, const char* displayed, const char* number,
                        const char* description, const char* source, const char* line) {
  const std::string s = source;
  return testing::error_record({"02/01/2026 09:05:03", severity, displayed, number, description,
                                "corvane_terminate_host", s.substr(0, s.find('.')),
                                s.substr(s.find('.') + 1), line});
}

// The terminate host (tests/support/terminate_host.cpp) runs a routine with
// the harness's folder as its side-file and log folder: what it leaves there,
// whether it restarted the suite, and whether it ended the process (code 0)
// or came back (code 3). A fatal error is number 10000, or any error once the
// suite's crash handler has left "CrashHandler.txt": the system-error box,
// the records, then the marker is deleted and the suite restarted. With
// "Crash.flg" a report writes its record, shows the crash box and ends.
TEST(CrashHost, RoutinesThatEndTheProcess) {
  const std::string fatal = host_record("1", "Y", "10000", "Test failure", "modTest.Routine", "42");
  const std::string reported = host_record("2", "N", "5", "reported", "modX.routineY", "10");
  const std::string crash_box =
      "Quillon\t16\tQuillon MT has encountered an error from which it cannot recover.  Please "
      "close all your programs and restart your machine.\n";
  const std::string run = "PID=0 USERSHUTDOWN=False\n";
  struct Row {
    std::string mode;         // the host's mode and text
    const char* word_pid;     // "WordPID.txt" (hidden); nullptr: none
    const char* marker;       // a marker file in the side folder; nullptr: none
    bool suite, library;      // "QuillonMT.exe" in the module folder; the library beside the host
    std::uint32_t exit_code;  // 0: the process was ended; 3: the routine came back
    std::string ran;          // what the restarted suite got ("": not started)
    std::string logged, not_logged;  // in the detail log
    std::string boxes;               // boxes.txt
    std::string record;              // what the first record holds ("": no errors file)
  };
  // clang-format off
  const Row rows[] = {
      {"", "123\r\nx\r\n", nullptr, true, true, 0, "PID=123 USERSHUTDOWN=False\n",
       "modVBTrace.CallTerminateQuillon: Shelling to QuillonMT to restart\r\n", "Couldn't", "", ""},
      {"", "x\r\n", nullptr, false, true, 3, "",
       "GlobalErrorsLog >>> modVBTrace.CallTerminateQuillon\tCouldn't find ", "Exiting", "",
       "<errorDescription>Couldn&apos;t find "},
      {"", nullptr, nullptr, true, false, 3, "",
       "GlobalErrorsLog >>> modVBTrace.CallTerminateQuillon\tError 53: File not found\r\n",
       "Shelling to QuillonMT", "", "<errorNumber>53</errorNumber>"},
      {"errmsgbox 10000", nullptr, nullptr, true, true, 0, run, "", "Detected crash.",
       fatal_box("10000"), fatal},
      {"errmsgbox 5", nullptr, "CrashHandler.txt", true, true, 0, run, "Detected crash.", "",
       fatal_box("5"), std::regex_replace(fatal, std::regex("10000"), "5")},
      {"errmsgbox 10000", nullptr, "CrashHandler.txt", true, true, 0, run, "Detected crash.", "",
       fatal_box("10000"), fatal},
      {"report", nullptr, nullptr, false, true, 3, "", "", "Exiting", "", reported},
      {"report", nullptr, "Crash.flg", false, true, 0, "",
       "modVBTrace.AppendErrorNode: Exiting process as a result of a crash.\r\n", "", crash_box,
       reported},
  };
  // clang-format on
  const fs::path calls = testing::helper_program("TerminateQuillon.calls");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode + (row.marker ? row.marker : "") + (row.word_pid ? row.word_pid : ""));
    TraceHarness h;
    const fs::path side = h.folder.path(), modules = side / "modules", log = side / "detail.log";
    fs::create_directories(modules);
    if (row.marker) std::ofstream(side / row.marker) << "";
    if (row.word_pid) std::ofstream(side / "WordPID.txt", std::ios::binary) << row.word_pid;
#ifdef _WIN32
    if (row.word_pid)
      SetFileAttributesW((side / "WordPID.txt").wstring().c_str(), FILE_ATTRIBUTE_HIDDEN);
#endif
    if (row.suite)
      fs::copy_file(testing::helper_program("corvane_test_child"), modules / "QuillonMT.exe");
    fs::path host = testing::helper_program("corvane_terminate_host");
    if (!row.library) {  // the host alone in a folder
      fs::create_directories(side / "alone");
      fs::copy_file(host, side / "alone" / host.filename());
      host = side / "alone" / host.filename();
    }
    fs::remove(calls);
    const platform::StartedProcess started = platform::Processes::system().start(
        OLESTR("\"") + testing::ole_path(host) + OLESTR("\" \"") + testing::ole_path(side) +
            OLESTR("\" \"") + testing::ole_path(modules) + OLESTR("\" \"") +
            testing::ole_path(log) + OLESTR("\" ") + testing::wide(row.mode),
        true, false);
    ASSERT_NE(started.process, 0) << started.error;
    EXPECT_EQ(platform::Processes::system().exit_code(started.process), row.exit_code);
    platform::Processes::system().close(started.process);

    const fs::path ran = modules / "QuillonMT.exe.ran";
    for (int i = 0; i < 200 && !row.ran.empty() && !fs::exists(ran); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(row.ran.empty() ? 0 : 50));
    EXPECT_EQ(testing::read_bytes(ran), row.ran);
    // TerminateQuillon gets the detail log's path, this process's id and 0.
    const std::string call = testing::read_bytes(calls);
    EXPECT_EQ(call.starts_with(log.string() + "\t") && call.ends_with("\t0\n"),
              row.library && row.mode != "report")
        << call;
    const std::string text = testing::read_bytes(log);
    EXPECT_NE(text.find(row.logged), std::string::npos) << row.logged << text;
    EXPECT_EQ(text.find(row.not_logged.empty() ? "\x01" : row.not_logged), std::string::npos);
    EXPECT_EQ(testing::read_bytes(side / "boxes.txt"), row.boxes);
    const std::vector<std::string> records = h.error_records();
    EXPECT_EQ(records.empty(), row.record.empty());
    EXPECT_NE((records.empty() ? std::string() : records[0]).find(row.record), std::string::npos);
    if (row.marker) {  // the crash handler's marker is deleted, the suite's flag stays
      EXPECT_EQ(fs::exists(side / row.marker), row.marker == std::string("Crash.flg"));
    }
#ifdef _WIN32
    if (row.word_pid) {  // no longer hidden
      EXPECT_EQ(GetFileAttributesW((side / "WordPID.txt").wstring().c_str()) & 2, 0u);
    }
#endif
  }
  fs::remove(calls);
}

}  // namespace
}  // namespace corvane::modVBTrace
