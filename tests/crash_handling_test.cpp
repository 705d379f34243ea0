// The suite's marker files, hang-dump diagnosis with the debugger object, and
// the routines that restart the suite and end the process they run in.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "platform/processes.h"
#include "support/log_capture.h"
#include "trace/crash_handling.h"

namespace corvane::modVBTrace {
namespace {

using namespace testing;

// The crash marker itself is looked at by the terminate host's runs below;
// remote-call errors and the process terminations before them are told
// apart in ErrMsgBox's words (message_boxes_test).
TEST(CrashHandling, MarkersMessagesAndHangDumpDiagnosis) {
  TraceHarness h(2, true);
  EXPECT_TRUE(bfnRemoteCallError(OLESTR("REMOTE server machine does not exist or is UNAVAILABLE")));
  EXPECT_EQ(sfnAbendInfo(), OLESTR(""));
  for (const auto& [content, info] :
       {std::pair{"", OLESTR("")}, {"one\r\n", OLESTR("one")}, {"A\r\nB\nC", OLESTR("A, B, C")}}) {
    h.folder.put("Abends.txt", content);
    EXPECT_EQ(sfnAbendInfo(), info) << content;
  }
  EXPECT_TRUE(UploadEnabled());

  // Hang-dump diagnosis.
  FakeDebugger debugger;
  std::optional<platform::AutomationObjects::Override> use(debugger);
  EXPECT_FALSE(MonitorForHangDumps());  // no marker: undecided, asked again later
  EXPECT_FALSE(module_values().hang_monitor.has_value());
  h.folder.put("DebugInfo.flg");
  h.folder.put("DebugInfo.ini", "[DebugInfo]\r\nErrorsToDiagnose=Other\r\n");
  EXPECT_FALSE(MonitorForHangDumps());
  EXPECT_EQ(module_values().hang_monitor, std::optional<bool>(false));
  module_values().hang_monitor.reset();
  // The component's name is found in the list whatever its letter case.
  h.folder.put("DebugInfo.ini", "[DebugInfo]\r\nErrorsToDiagnose=Other;CORVANE\r\n");
  EXPECT_TRUE(MonitorForHangDumps());
  EXPECT_EQ(debugger.calls,
            (std::vector<std::string>{"42 Init Corvane", "42 ParseErrorsToDiagnose"}));
  fs::remove(h.folder.path() / "DebugInfo.flg");
  EXPECT_TRUE(MonitorForHangDumps());  // decided for the apartment
  EXPECT_EQ(debugger.calls.size(), 2u);

  use.reset();  // the component is named, but no debugger class exists here
  module_values().hang_monitor.reset();
  h.folder.put("DebugInfo.flg");
  EXPECT_FALSE(MonitorForHangDumps());
  EXPECT_TRUE(h.traced_masked("modVBTrace.DebuggerObjectInitialized",
                              trap_message(429, "ActiveX component can't create object",
                                           "modVBTrace.DebuggerObjectInitialized")));
}

// The terminate host (tests/support/terminate_host.cpp) runs a routine with
// the harness's folder as its side-file and log folder: what it leaves there,
// whether it restarted the suite, and whether it ended the process (code 0)
// or came back (code 3). A fatal error is number 10000, or any error once the
// suite's crash handler has left "CrashHandler.txt": the system-error box,
// the records, then the marker is deleted and the suite restarted. With
// "Crash.flg" a report writes its record, shows the crash box and ends.
TEST(CrashHost, RoutinesThatEndTheProcess) {
  auto fatal_box = [](const std::string& number) {
    return "Quillon Warning Message\t4096\tQuillon has encountered a system error which prevents "
           "it from continuing:\r\n\r\nError " +
           number +
           ": Test failure\r\nin Corvane.modTest.Routine.\r\nThe error occured at line: 42\r\n\r\n"
           "Quillon will now attempt to restart and recover your data.\r\n\r\nThe details of "
           "this error have been sent to Orlanth | Marrowind for further analysis.  We are very "
           "sorry for the inconvenience.\n";
  };
  // clang-format off
  const std::string fatal = error_record({.severity = "1", .displayedToUser = "Y",
      .errorNumber = "10000", .errorDescription = "Test failure",
      .component = "corvane_terminate_host", .module = "modTest", .member = "Routine", .lineNumber = "42"});
  const std::string reported = error_record({.errorNumber = "5", .errorDescription = "reported",
      .component = "corvane_terminate_host", .module = "modX", .member = "routineY", .lineNumber = "10"});
  // clang-format on
  const std::string crash_box =
      "Quillon\t16\tQuillon MT has encountered an error from which it cannot recover.  Please "
      "close all your programs and restart your machine.\n";
  const std::string run = "PID=0 USERSHUTDOWN=False\n";
  // A row: the host's mode and text; "WordPID.txt" and a marker file
  // in the side folder (nullptr: none); whether "QuillonMT.exe" is in the
  // module folder and the library beside the host; the exit code (0: the
  // process was ended, 3: the routine came back); what the restarted suite
  // got ("": not started); what the detail log holds; the boxes shown (boxes.txt); what the first
  // record holds ("": no errors file).
  struct Row {
    std::string mode;
    const char *word_pid, *marker;
    bool suite, library;
    std::uint32_t exit_code;
    std::string ran, logged, boxes, record;
  };
  // clang-format off
  const Row rows[] = {
      {"", "123\r\nx\r\n", nullptr, true, true, 0, "PID=123 USERSHUTDOWN=False\n",
       "modVBTrace.CallTerminateQuillon: Shelling to QuillonMT to restart\r\n", "", ""},
      {"", "x\r\n", nullptr, false, true, 3, "",
       "GlobalErrorsLog >>> modVBTrace.CallTerminateQuillon\tCouldn't find ", "",
       "<errorDescription>Couldn&apos;t find "},
      {"", "99999999999\r\n", nullptr, true, true, 3, "",
       "GlobalErrorsLog >>> modVBTrace.CallTerminateQuillon\tError 6: Overflow\r\n", "",
       "<errorNumber>6</errorNumber>"},
      {"", nullptr, nullptr, true, false, 3, "",
       "GlobalErrorsLog >>> modVBTrace.CallTerminateQuillon\tError 53: File not found\r\n", "",
       "<errorNumber>53</errorNumber>"},
      {"errmsgbox 10000", nullptr, nullptr, true, true, 0, run, "", fatal_box("10000"), fatal},
      {"errmsgbox 5", nullptr, "CrashHandler.txt", true, true, 0, run, "Detected crash.",
       fatal_box("5"), std::regex_replace(fatal, std::regex("10000"), "5")},
      {"report", nullptr, nullptr, false, true, 3, "", "", "", reported},
      {"report", nullptr, "Crash.flg", false, true, 0, "",
       "modVBTrace.AppendErrorNode: Exiting process as a result of a crash.\r\n", crash_box, reported},
      {"report", nullptr, "Crash.flg/", false, true, 0, "", "", crash_box, reported}};
  // clang-format on
  const fs::path calls = helper_program("TerminateQuillon.calls");
  platform::Processes& processes = platform::Processes::system();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode + (row.marker ? row.marker : "") + (row.word_pid ? row.word_pid : ""));
    TraceHarness h;
    const fs::path side = h.folder.path(), modules = side / "modules", log = side / "detail.log";
    for (const fs::path& folder : {side / "alone", modules}) fs::create_directories(folder);
    if (row.marker && std::string(row.marker).ends_with('/'))  // a folder of that name
      fs::create_directory(side / row.marker);
    else if (row.marker)
      h.folder.put(row.marker);
    if (row.word_pid) h.folder.put("WordPID.txt", row.word_pid);
    if (row.suite) fs::copy_file(helper_program("corvane_test_child"), modules / "QuillonMT.exe");
    fs::path host = helper_program("corvane_terminate_host");
    if (!row.library) {  // the host alone in a folder
      fs::copy_file(host, side / "alone" / host.filename());
      host = side / "alone" / host.filename();
    }
    fs::remove(calls);
    OleString line;
    for (const fs::path& p : {host, side, modules, log})
      line += OLESTR("\"") + ole_path(p) + OLESTR("\" ");
    const platform::StartedProcess started = processes.start(line + wide(row.mode), true, false);
    ASSERT_NE(started.process, 0) << started.error;
    EXPECT_EQ(processes.exit_code(started.process), row.exit_code);
    processes.close(started.process);

    const fs::path ran = modules / "QuillonMT.exe.ran";
    for (int i = 0; i < 200 && read_bytes(ran) != row.ran; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    EXPECT_EQ(read_bytes(ran), row.ran);
    // TerminateQuillon gets the detail log's path, this process's id and 0.
    const std::string call = read_bytes(calls);
    EXPECT_EQ(call.starts_with(log.string() + "\t") && call.ends_with("\t0\n"),
              row.library && row.mode != "report")
        << call;
    const std::string text = read_bytes(log);
    EXPECT_NE(text.find(row.logged), std::string::npos) << row.logged << text;
    EXPECT_EQ(read_bytes(side / "boxes.txt"), row.boxes);
    const std::vector<std::string> records = h.error_records();
    EXPECT_EQ(records.empty(), row.record.empty());
    EXPECT_NE((records.empty() ? std::string() : records[0]).find(row.record), std::string::npos);
    // the crash handler's marker is deleted, the suite's flag stays
    EXPECT_EQ(row.marker && fs::exists(side / row.marker),
              row.marker && std::string(row.marker).starts_with("Crash.flg"));
  }
}

}  // namespace
}  // namespace corvane::modVBTrace
