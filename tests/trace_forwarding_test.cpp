// Forwarding log text to the suite's trace viewer instead of the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "automation/error.h"
#include "platform/processes.h"
#include "platform/trace_viewer.h"
#include "support/log_capture.h"
#include "trace/message_boxes.h"
#include "trace/module_values.h"
#include "trace/summary_log.h"
#include "trace/trace_forwarding.h"
#include "trace/trace_log.h"
#include "trace/xml_error_log.h"

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;
using testing::TraceHarness;

// Viewer windows by their titles in its environment, and what reaches them
// as "window wParam kind:text" (line numbers masked); the next `failures`
// sends fail with error 70.
struct FakeViewer final : platform::TraceViewer {
  FakeViewer() : use_viewer(*this), use_environment(environment) {}
  std::intptr_t find_window(OleStringView title) override {
    ++lookups;
    for (const auto& [handle, t] : environment.titles)
      if (t == title) return handle;
    return 0;
  }
  bool is_window(std::intptr_t window) override { return environment.titles.count(window) != 0; }
  void send_copy_data(std::intptr_t window, std::uintptr_t wparam, std::uint32_t kind,
                      std::string_view text) override {
    sent.push_back(std::to_string(window) + " " + std::to_string(wparam) + " " +
                   std::to_string(kind) + ":" + testing::mask_lines(std::string(text)));
    if (failures-- > 0) throw AutomationError(70);
  }
  std::vector<std::string> sent_with(const std::string& part) const {
    std::vector<std::string> found;
    for (const std::string& s : sent)
      if (s.find(part) != std::string::npos) found.push_back(s);
    return found;
  }

  testing::FakeEnvironment environment;
  std::vector<std::string> sent;
  int lookups = 0, failures = 0;
  platform::TraceViewer::Override use_viewer;
  platform::Environment::Override use_environment;
};

struct Forwarding : ::testing::Test {
  Forwarding() {
    harness.init(2);
    harness.side_files_here();
    module_values().use_quillon_app_path = true;
    viewer.environment.titles[7] = OleString(kTraceViewerTitle);
  }
  TraceHarness harness;
  FakeViewer viewer;
};

// Only in the suite and while the viewer is there do the lines go to it,
// and then to neither the files nor the debugger output.
TEST(ForwardingModes, TheViewerTakesTheLinesOnlyInTheSuite) {
  for (const auto& [suite, viewer_up] : {std::pair{false, true}, {true, false}, {true, true}}) {
    TraceHarness h;
    h.init(2);
    FakeViewer viewer;
    if (viewer_up) viewer.environment.titles[7] = OleString(kTraceViewerTitle);
    module_values().use_quillon_app_path = suite;
    const bool to_viewer = suite && viewer_up;
    GlobalTrace(OLESTR("src"), OLESTR("hello"), 2);
    GlobalLog(OLESTR("flagged"), false, true);
    GlobalSummaryLog(OLESTR("src"), OLESTR("summary"), false, true, false, false);
    std::vector<std::string> forwarded{"7 0 1:" + h.stamped("src", "hello"), "7 1 1:\tflagged",
                                       "7 0 2:\t\tsummary"};
    forwarded[0].resize(forwarded[0].size() - 2);  // no CR LF
    EXPECT_EQ(viewer.sent, to_viewer ? forwarded : std::vector<std::string>{});
    EXPECT_EQ(h.detail_lines().size(), to_viewer ? 0u : 2u);
    EXPECT_EQ(h.debug_output.lines.size(), to_viewer ? 0u : 1u);
    EXPECT_EQ(fs::exists(h.folder.path() / "summary.log"), !to_viewer);
    EXPECT_EQ(viewer.lookups == 0, !suite);  // not looked for outside the suite
  }
}

TEST_F(Forwarding, AClosedOrRetitledViewerIsLookedUpAgain) {
  EXPECT_EQ(lfnTracerWindow(), 7);
  EXPECT_EQ(lfnTracerWindow(), 7);
  EXPECT_EQ(viewer.lookups, 1);  // cached while its title stays
  viewer.environment.titles[7] = OLESTR("Something else");
  EXPECT_EQ(lfnTracerWindow(), 0);
  viewer.environment.titles[9] = OleString(kTraceViewerTitle);
  EXPECT_EQ(lfnTracerWindow(), 9);
  EXPECT_EQ(viewer.lookups, 3);
  viewer.environment.titles.clear();
  EXPECT_FALSE(UseSendTrace());
}

// With the viewer in use the error table and the box records go to it: no
// errors file, and the declaration and <Errors> come again with each record.
// "PossibleErrors.log" is written all the same.
TEST_F(Forwarding, ErrorRecordsAndBoxRecordsGoToTheViewer) {
  std::vector<std::string> expected;
  for (const OLECHAR* description : {OLESTR("first"), OLESTR("second")}) {
    AppendErrorNode(2, description, false, OLESTR("5"), OLESTR("1"), OLESTR("m.r"));
    const std::string whole =
        testing::error_record({"02/01/2026 09:05:03", "2", "N", "5", testing::narrow(description),
                               testing::ErrorRecord::own_component(), "m", "r", "1"});
    expected.push_back("7 0 3:<?xml version=\"1.0\" standalone=\"yes\" ?>");
    expected.push_back("7 0 3:<Errors>");
    expected.push_back("7 0 3:" + whole.substr(0, whole.size() - 2));  // no CR LF after
  }
  EXPECT_EQ(viewer.sent_with(" 3:"), expected);
  EXPECT_FALSE(fs::exists(testing::narrow(harness.errors_file())));

  viewer.sent.clear();
  MsgBox(OLESTR("shown"), 0, std::nullopt, 5);
  std::vector<std::string> texts = viewer.sent_with("MSGBOX: ");
  for (const std::string& s : viewer.sent_with("User clicked: ")) texts.push_back(s);
  const std::string stamp = "02-01-26 09:05:03.007\t";
  EXPECT_EQ(texts,
            (std::vector<std::string>{
                "7 0 2:\r\n" + stamp + "MSGBOX: shown", "7 0 1:\r\n" + stamp + "MSGBOX: shown",
                "7 0 2:\r\n" + stamp + "User clicked: OK", "7 0 1:" + stamp + "User clicked: OK"}));
  EXPECT_TRUE(harness.debug_output.lines.empty());
  EXPECT_NE(testing::read_file(harness.folder.file("PossibleErrors.log")).find("MSGBOX: shown"),
            std::string::npos);
}

// The failure records of AppendErrorNode (a hang dump that cannot be asked
// for) and of ErrMsgBox (an error number that is no number) go to both of
// the viewer's logs instead of "PossibleErrors.log".
TEST_F(Forwarding, FailureRecordsGoToBothOfTheViewersLogs) {
  testing::FakeDebugger debugger;
  debugger.failing = "DoHangDumpIfNecessary";
  const platform::AutomationObjects::Override use(debugger);
  std::ofstream(harness.folder.path() / "DebugInfo.flg") << "";
  std::ofstream(harness.folder.path() / "DebugInfo.ini")
      << "[DebugInfo]\r\nErrorsToDiagnose=Corvane";
  fs::remove(testing::helper_program("CanRaiseEvent.answer"));  // not modal: the debugger is asked
  AppendErrorNode(2, OLESTR("hung"), false, OLESTR("91"), OLESTR("3"), OLESTR("m.r"));
  OleString odd = OLESTR("Error 5-5: odd\r\nin a.b.\r\nThe error occured at line: 3");
  ErrMsgBox(odd, 4096, OLESTR("Error"), true);
  const std::string append =
      "09:05:03\tmodVBTrace.AppendErrorNode\r\nError 91\r\nObject variable or With block "
      "variable not set\r\nAt line N";
  const std::string errmsgbox =
      "09:05:03\tERROR IN ERRMSGBOX\r\nError 13\r\nType mismatch\r\nAt line N";
  EXPECT_EQ(viewer.sent_with("\r\nAt line "),
            (std::vector<std::string>{"7 0 1:" + append, "7 0 2:" + append, "7 0 1:" + errmsgbox,
                                      "7 0 2:" + errmsgbox}));
  EXPECT_FALSE(fs::exists(harness.folder.path() / "PossibleErrors.log"));
}

// A send that fails ends in its routine's trap, which writes straight to
// the files: the error is logged once, and its line is not sent again.
TEST_F(Forwarding, AFailedSendIsLoggedOnceWithoutSendingAgain) {
  viewer.failures = 3;
  GlobalTrace(OLESTR("src"), OLESTR("hello"), 2);
  EXPECT_EQ(viewer.sent.size(), 1u);
  const std::string message =
      "Error 70: Permission denied\r\nin Corvane.modVBTrace.SendTraceStatement.\r\n"
      "The error occured at line: N\r\n";
  EXPECT_EQ(testing::mask_lines(testing::read_file(harness.detail_log())),
            "modVBTrace.SendTraceStatement\t" + message);
  EXPECT_EQ(testing::mask_lines(testing::read_file(harness.summary_log())), message);
}

// The stand-in viewer program: a real window on Windows (under wine it needs
// a display), the socket on Linux.
TEST(ForwardingToTheStandIn, RecordsThroughTheViewersChannel) {
  TraceHarness harness;
  harness.init(2);
  const fs::path records = harness.folder.path() / "viewer.txt";
  const platform::StartedProcess viewer = platform::Processes::system().start(
      OLESTR("\"") + testing::ole_path(testing::helper_program("corvane_viewer_stand_in")) +
          OLESTR("\" \"") + testing::ole_path(records) + OLESTR("\" 20"),
      false, false);
  ASSERT_NE(viewer.process, 0);
  std::intptr_t window = 0;
  for (int i = 0; i < 100 && window == 0; ++i) {
    window = platform::TraceViewer::system().find_window(kTraceViewerTitle);
    if (window == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (window == 0) {
    platform::Processes::system().wait(viewer.process, 5000);
    platform::Processes::system().close(viewer.process);
    GTEST_SKIP() << "no display here: the viewer's window cannot be created";
  }
  module_values().use_quillon_app_path = true;
  ASSERT_TRUE(UseSendTrace());
  GlobalLog(OLESTR("hello"), false, true);
  GlobalSummaryLog(OLESTR("src"), OLESTR("sum"), false, true, false, false);
  SendTraceStatement(OLESTR("quit"), 99, false);
  EXPECT_EQ(platform::Processes::system().wait(viewer.process, 10000), 0u);
  platform::Processes::system().close(viewer.process);
  EXPECT_EQ(testing::read_bytes(records), "1\t1\t6\t\thello\n2\t0\t5\t\t\tsum\n");
  EXPECT_TRUE(harness.detail_lines().empty());
  EXPECT_FALSE(UseSendTrace());  // closed
}

}  // namespace
}  // namespace corvane::modVBTrace
