// Forwarding log text to the suite's trace viewer instead of the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <thread>

#include "platform/environment.h"
#include "platform/module_info.h"
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

using testing::TraceHarness;

struct Sent {
  std::intptr_t window;
  std::uintptr_t wparam;
  std::uint32_t kind;
  std::string text;
};

// Windows by title, and what reaches them.
class FakeViewer final : public platform::TraceViewer, public platform::Environment {
 public:
  std::intptr_t find_window(OleStringView title) override {
    ++lookups;
    for (const auto& [handle, t] : titles) {
      if (t == title) return handle;
    }
    return 0;
  }
  bool is_window(std::intptr_t window) override { return titles.count(window) != 0; }
  void send_copy_data(std::intptr_t window, std::uintptr_t wparam, std::uint32_t kind,
                      std::string_view text) override {
    sent.push_back({window, wparam, kind, std::string(text)});
  }
  std::optional<OleString> roaming_app_data_folder() override { return OleString(); }
  std::intptr_t create_event(OleStringView, bool* existed) override {
    *existed = false;
    return 0;
  }
  void signal_event(std::intptr_t) override {}
  void close_event(std::intptr_t) override {}
  OleString window_text(std::intptr_t window, int) override {
    const auto it = titles.find(window);
    return it == titles.end() ? OleString() : it->second;
  }

  std::map<std::intptr_t, OleString> titles;
  std::vector<Sent> sent;
  int lookups = 0;
};

class Forwarding : public ::testing::Test {
 protected:
  Forwarding() : viewer_override_(viewer), environment_override_(viewer) { harness.init(2); }

  TraceHarness harness;
  FakeViewer viewer;

 private:
  platform::TraceViewer::Override viewer_override_;
  platform::Environment::Override environment_override_;
};

TEST_F(Forwarding, OutsideTheSuiteTheViewerIsNotLookedFor) {
  viewer.titles[7] = OleString(kTraceViewerTitle);
  module_values().use_quillon_app_path = false;
  EXPECT_FALSE(UseSendTrace());
  EXPECT_EQ(viewer.lookups, 0);
  GlobalTrace(OLESTR("s"), OLESTR("to the file"), 2);
  EXPECT_EQ(harness.detail_lines().size(), 1u);
  EXPECT_TRUE(viewer.sent.empty());
}

TEST_F(Forwarding, WithoutAViewerTheFilesAreWritten) {
  module_values().use_quillon_app_path = true;
  EXPECT_FALSE(UseSendTrace());
  GlobalTrace(OLESTR("s"), OLESTR("to the file"), 2);
  EXPECT_EQ(harness.detail_lines().size(), 1u);
  EXPECT_EQ(harness.debug_output.lines.size(), 1u);
}

TEST_F(Forwarding, LinesGoToTheViewerInsteadOfTheFiles) {
  module_values().use_quillon_app_path = true;
  viewer.titles[7] = OleString(kTraceViewerTitle);
  EXPECT_TRUE(UseSendTrace());
  GlobalTrace(OLESTR("src"), OLESTR("hello"), 2);
  GlobalLog(OLESTR("flagged"), false, true);
  GlobalSummaryLog(OLESTR("src"), OLESTR("summary"), false, true, false, false);
  ASSERT_EQ(viewer.sent.size(), 3u);
  EXPECT_EQ(viewer.sent[0].window, 7);
  EXPECT_EQ(viewer.sent[0].kind, 1u);
  EXPECT_EQ(viewer.sent[0].wparam, 0u);
  EXPECT_EQ(viewer.sent[0].text, "02-01-26 09:05:03.007\tCorvane\tsrc: hello");
  EXPECT_EQ(viewer.sent[1].text, "\tflagged");
  EXPECT_EQ(viewer.sent[1].wparam, 1u);
  EXPECT_EQ(viewer.sent[2].kind, 2u);
  EXPECT_EQ(viewer.sent[2].text, "\t\tsummary");
  // Nothing in the files, nothing in the debugger output.
  EXPECT_TRUE(harness.detail_lines().empty());
  EXPECT_TRUE(harness.debug_output.lines.empty());
  EXPECT_FALSE(std::filesystem::exists(harness.folder.path() / "summary.log"));
}

TEST_F(Forwarding, AClosedOrRetitledViewerIsLookedUpAgain) {
  module_values().use_quillon_app_path = true;
  viewer.titles[7] = OleString(kTraceViewerTitle);
  EXPECT_EQ(lfnTracerWindow(), 7);
  EXPECT_EQ(lfnTracerWindow(), 7);
  EXPECT_EQ(viewer.lookups, 1);  // cached while its title stays
  viewer.titles[7] = OLESTR("Something else");
  EXPECT_EQ(lfnTracerWindow(), 0);
  EXPECT_EQ(viewer.lookups, 2);
  viewer.titles[9] = OleString(kTraceViewerTitle);
  EXPECT_EQ(lfnTracerWindow(), 9);
  viewer.titles.clear();
  EXPECT_FALSE(UseSendTrace());
  GlobalTrace(OLESTR("s"), OLESTR("back to the file"), 2);
  EXPECT_EQ(harness.detail_lines().size(), 1u);
}

TEST_F(Forwarding, TheRecordCarriesKindFlagAndText) {
  module_values().use_quillon_app_path = true;
  viewer.titles[3] = OleString(kTraceViewerTitle);
  ASSERT_EQ(lfnTracerWindow(), 3);
  SendTraceStatement(OLESTR("12345"), 3, false);
  ASSERT_EQ(viewer.sent.size(), 1u);
  EXPECT_EQ(viewer.sent[0].text, "12345");  // cbData 5; the NUL follows it
  EXPECT_EQ(viewer.sent[0].kind, 3u);
}

// With the viewer in use the error table and the box records go to it: no
// errors file, and the declaration and <Errors> come again with each record.
TEST_F(Forwarding, ErrorRecordsAndBoxRecordsGoToTheViewer) {
  module_values().use_quillon_app_path = true;
  harness.side_files_here();
  viewer.titles[7] = OleString(kTraceViewerTitle);
  AppendErrorNode(2, OLESTR("first"), false, OLESTR("5"), OLESTR("1"), OLESTR("m.r"));
  AppendErrorNode(2, OLESTR("second"), false, OLESTR("5"), OLESTR("1"), OLESTR("m.r"));
  std::vector<std::string> kind3;
  for (const Sent& s : viewer.sent) {
    if (s.kind == 3) kind3.push_back(s.text);
  }
  ASSERT_EQ(kind3.size(), 6u);
  for (std::size_t i : {0u, 3u}) {
    EXPECT_EQ(kind3[i], "<?xml version=\"1.0\" standalone=\"yes\" ?>");
    EXPECT_EQ(kind3[i + 1], "<Errors>");
    EXPECT_EQ(kind3[i + 2].rfind("    <error>\r\n        <firstOccurrence>", 0), 0u);
    EXPECT_EQ(kind3[i + 2].substr(kind3[i + 2].size() - 12), "    </error>");  // no CR LF after
  }
  EXPECT_NE(kind3[5].find("<errorDescription>second</errorDescription>"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(testing::narrow(harness.errors_file())));

  viewer.sent.clear();
  MsgBox(OLESTR("shown"), 0, std::nullopt, 5);
  std::vector<std::string> texts;
  for (const Sent& s : viewer.sent) {
    // (This fake environment has no named events: that failure is reported too.)
    if (s.text.find("MSGBOX: ") != std::string::npos ||
        s.text.find("User clicked: ") != std::string::npos)
      texts.push_back(std::to_string(s.kind) + ":" + s.text);
  }
  const std::string stamp = "02-01-26 09:05:03.007\t";
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "2:\r\n" + stamp + "MSGBOX: shown", "1:\r\n" + stamp + "MSGBOX: shown",
                       "2:\r\n" + stamp + "User clicked: OK", "1:" + stamp + "User clicked: OK"}));
  EXPECT_TRUE(harness.debug_output.lines.empty());
  // "PossibleErrors.log" is written all the same.
  EXPECT_NE(testing::read_file(testing::ole_path(harness.folder.path() / "PossibleErrors.log"))
                .find("MSGBOX: shown"),
            std::string::npos);
}

}  // namespace
}  // namespace corvane::modVBTrace

// The stand-in viewer program: a real window on Windows (under wine it needs
// a display), the socket on Linux.

namespace corvane::modVBTrace {
namespace {

TEST(ForwardingToTheStandIn, RecordsThroughTheViewersChannel) {
  TraceHarness harness;
  harness.init(2);
  const OleString own = platform::ModuleInfo::system().own_file_path();
  const std::size_t slash = own.find_last_of(OLESTR("\\/"));
#ifdef _WIN32
  const OleString program = own.substr(0, slash + 1) + OLESTR("corvane_viewer_stand_in.exe");
#else
  const OleString program = own.substr(0, slash + 1) + OLESTR("corvane_viewer_stand_in");
#endif
  const std::filesystem::path records = harness.folder.path() / "viewer.txt";
  const platform::StartedProcess viewer = platform::Processes::system().start(
      OLESTR("\"") + program + OLESTR("\" \"") + testing::ole_path(records) + OLESTR("\" 20"),
      false, false);
  ASSERT_NE(viewer.process, 0);
  platform::TraceViewer& system = platform::TraceViewer::system();
  std::intptr_t window = 0;
  for (int i = 0; i < 100 && window == 0; ++i) {
    window = system.find_window(kTraceViewerTitle);
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
  EXPECT_EQ(testing::read_file(testing::ole_path(records)), "1\t1\t6\t\thello\n2\t0\t5\t\t\tsum\n");
  EXPECT_TRUE(harness.detail_lines().empty());
  EXPECT_FALSE(UseSendTrace());  // closed
}

}  // namespace
}  // namespace corvane::modVBTrace
