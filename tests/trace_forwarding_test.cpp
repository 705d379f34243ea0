// Forwarding log text to the suite's trace viewer instead of the files.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "platform/trace_viewer.h"
#include "support/log_capture.h"
#include "trace/message_boxes.h"
#include "trace/summary_log.h"
#include "trace/trace_forwarding.h"
#include "trace/trace_log.h"
#include "trace/xml_error_log.h"

namespace corvane::modVBTrace {
namespace {

using namespace testing;

// Viewer windows by their titles in its environment (7 is the viewer when it
// is up), and what reaches them
// as "window wParam kind:text" (line numbers masked); the next `failures`
// sends fail with error 70.
struct FakeViewer final : platform::TraceViewer {
  explicit FakeViewer(bool up) {
    if (up) environment.titles[7] = OleString(kTraceViewerTitle);
  }
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
                   std::to_string(kind) + ":" + mask_lines(std::string(text)));
    if (failures-- > 0) throw AutomationError(70);
  }
  // What was sent that `pattern` finds, in order.
  std::vector<std::string> sent_with(const std::string& pattern) const {
    std::vector<std::string> found;
    std::copy_if(sent.begin(), sent.end(), std::back_inserter(found),
                 [&](auto& s) { return std::regex_search(s, std::regex(pattern)); });
    return found;
  }

  FakeEnvironment environment;
  std::vector<std::string> sent;
  int lookups = 0, failures = 0;
  platform::TraceViewer::Override use_viewer{*this};
  platform::Environment::Override use_environment{environment};
};

struct Forwarding : ::testing::Test {
  Forwarding() { module_values().use_quillon_app_path = true; }
  TraceHarness harness{2, true};
  FakeViewer viewer{true};
};

// Only in the suite and while the viewer is there do the lines go to it,
// and then to neither the files nor the debugger output.
TEST(ForwardingModes, TheViewerTakesTheLinesOnlyInTheSuite) {
  for (const auto& [suite, viewer_up] : {std::pair{false, true}, {true, false}, {true, true}}) {
    TraceHarness h(2);
    FakeViewer viewer(viewer_up);
    module_values().use_quillon_app_path = suite;
    const bool to_viewer = suite && viewer_up;
    GlobalTrace(OLESTR("src"), OLESTR("hello"), 2);
    GlobalLog(OLESTR("flagged"), false, true);
    GlobalSummaryLog(OLESTR("src"), OLESTR("summary"), false, true, false, false);
    const std::string line = h.stamped("src", "hello");
    const std::vector<std::string> forwarded{"7 0 1:" + line.substr(0, line.size() - 2),
                                             "7 1 1:\tflagged", "7 0 2:\t\tsummary"};
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
  for (const char* description : {"first", "second"}) {
    AppendErrorNode(2, wide(description), false, OLESTR("5"), OLESTR("1"), OLESTR("m.r"));
    // clang-format off
    const std::string whole = error_record({.errorNumber = "5", .errorDescription = description,
                                            .module = "m", .member = "r", .lineNumber = "1"});
    // clang-format on
    const std::string heading = kErrorsHeading.substr(0, kErrorsHeading.find("\r\n"));
    expected.insert(expected.end(), {"7 0 3:" + heading, "7 0 3:<Errors>",
                                     "7 0 3:" + whole.substr(0, whole.size() - 2)});
  }
  EXPECT_EQ(viewer.sent_with(" 3:"), expected);
  EXPECT_FALSE(fs::exists(harness.errors_file()));

  viewer.sent.clear();
  MsgBox(OLESTR("shown"), 0, std::nullopt, 5);
  const std::string box = "02-01-26 09:05:03.007\tMSGBOX: shown";
  const std::string click = "02-01-26 09:05:03.007\tUser clicked: OK";
  EXPECT_EQ(viewer.sent_with("MSGBOX: |User clicked: "),
            (std::vector<std::string>{"7 0 2:\r\n" + box, "7 0 1:\r\n" + box, "7 0 2:\r\n" + click,
                                      "7 0 1:" + click}));
  EXPECT_TRUE(harness.debug_output.lines.empty());
  EXPECT_EQ(count_of(read_file(harness.folder.file("PossibleErrors.log")), "MSGBOX: shown"), 1u);
}

// The failure records of AppendErrorNode (a hang dump that cannot be asked
// for) and of ErrMsgBox (an error number that is no number) go to both of
// the viewer's logs instead of "PossibleErrors.log".
TEST_F(Forwarding, FailureRecordsGoToBothOfTheViewersLogs) {
  FakeDebugger debugger;
  debugger.failing = "DoHangDumpIfNecessary";
  const platform::AutomationObjects::Override use(debugger);
  harness.folder.put("DebugInfo.flg");
  harness.folder.put("DebugInfo.ini", "[DebugInfo]\r\nErrorsToDiagnose=Corvane");
  fs::remove(helper_program("CanRaiseEvent.answer"));  // not modal: the debugger is asked
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
      trap_message(70, "Permission denied", "modVBTrace.SendTraceStatement");
  EXPECT_EQ(mask_lines(read_file(harness.detail_log())),
            "modVBTrace.SendTraceStatement\t" + message + "\r\n");
  EXPECT_EQ(mask_lines(read_file(harness.summary_log())), message + "\r\n");
}

// What the viewer's stand-in got, a record a line: kind TAB wParam TAB
// cbData TAB text.
std::string g_viewer_records;

void take(unsigned long kind, unsigned long wparam, unsigned long size, std::string_view text) {
  g_viewer_records += std::to_string(kind) + "\t" + std::to_string(wparam) + "\t" +
                      std::to_string(size) + "\t" + std::string(text) + "\n";
}

// The viewer's end of its channel, in this process: on Windows a top-level
// window titled as the viewer that takes WM_COPYDATA (under wine it needs a
// display); on Linux the socket named after the title in the user's runtime
// folder, served by a thread that answers each record with one byte.
#ifdef _WIN32
LRESULT CALLBACK viewer_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_COPYDATA) return DefWindowProcA(window, message, wparam, lparam);
  const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
  take(record->dwData, wparam, record->cbData,
       std::string_view(static_cast<const char*>(record->lpData), record->cbData));
  return TRUE;
}

struct ViewerStandIn {
  ViewerStandIn() {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = viewer_procedure;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "CorvaneViewerStandIn";
    RegisterClassA(&window_class);
    window = CreateWindowA("CorvaneViewerStandIn", "DovaziVeduzi - QuillonMT", WS_OVERLAPPED, 0, 0,
                           100, 100, nullptr, nullptr, window_class.hInstance, nullptr);
  }
  ~ViewerStandIn() { DestroyWindow(window); }
  HWND window;
};
#else
struct ViewerStandIn {
  ViewerStandIn() {
    ::mkdir(platform::viewer_socket_folder().c_str(), 0700);
    ::unlink(path.c_str());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(server, 8) != 0)
      return;
    serving = std::thread([this] {
      for (int client; (client = ::accept(server, nullptr, nullptr)) >= 0; ::close(client)) {
        std::uint32_t header[3] = {};  // kind, cbData, wParam; the text and a NUL follow
        if (::recv(client, header, sizeof header, MSG_WAITALL) != sizeof header) continue;
        std::string text(header[1] + 1, '\0');
        ::recv(client, text.data(), text.size(), MSG_WAITALL);
        take(header[0], header[2], header[1], std::string_view(text).substr(0, header[1]));
        ::send(client, "k", 1, MSG_NOSIGNAL);
      }
    });
  }
  ~ViewerStandIn() {
    ::shutdown(server, SHUT_RDWR);
    if (serving.joinable()) serving.join();
    ::close(server);
    ::unlink(path.c_str());
  }
  int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
  std::string path = platform::viewer_socket_path(modVBTrace::kTraceViewerTitle);
  std::thread serving;
};
#endif

// The system's channel to the viewer, with the stand-in at its other end.
TEST(ForwardingToTheStandIn, RecordsThroughTheViewersChannel) {
  TraceHarness harness(2);
  module_values().use_quillon_app_path = true;
  g_viewer_records.clear();
  {
    const ViewerStandIn viewer;
    if (!UseSendTrace()) GTEST_SKIP() << "no display here: the viewer's window cannot be created";
    GlobalLog(OLESTR("hello"), false, true);
    GlobalSummaryLog(OLESTR("src"), OLESTR("sum"), false, true, false, false);
  }
  EXPECT_EQ(g_viewer_records, "1\t1\t6\t\thello\n2\t0\t5\t\t\tsum\n");
  EXPECT_TRUE(harness.detail_lines().empty());
  EXPECT_FALSE(UseSendTrace());  // closed
}

}  // namespace
}  // namespace corvane::modVBTrace
