// The message boxes: what MsgBox shows and logs, the words ErrMsgBox finds
// for an error and what it records, its guard and its own failures, the
// modal-state question, and the log form of a box's text.
#include <gtest/gtest.h>

#include <regex>

#ifdef _WIN32
#include <windows.h>

#include <thread>
#endif

#include "support/log_capture.h"
#include "trace/message_boxes.h"
#include "trace/summary_log.h"

namespace corvane::modVBTrace {
namespace {

using namespace testing;

struct Boxes : ::testing::Test {
  TraceHarness h{2, true};
};

TEST_F(Boxes, TheLogFormIndentsFollowingLines) {
  // A line break from character 32,766 on overflows the 16-bit positions:
  // the text comes back as it was, and the overflow is logged with the text.
  const OleString too_far = OleString(32765, u'x') + OLESTR("\r\nt");
  // clang-format off
  const std::pair<OleString, OleString> rows[] = {
      {OLESTR("a\r\nb\r\n"), OLESTR("a\r\n\t\t\tb\r\n\t\t\t")}, {OLESTR("a\rb\nc"), OLESTR("a\rb\nc")},
      {too_far.substr(1), OleString(32764, u'x') + OLESTR("\r\n\t\t\tt")}, {too_far, too_far}};
  // clang-format on
  for (const auto& [text, logged] : rows) EXPECT_EQ(sfnFormatMsgboxForLog(text), logged);
  EXPECT_TRUE(
      h.errors_logged("modVBTrace.sfnFormatMsgboxForLog",
                      "Error 6: Overflow\r\nin Corvane.modVBTrace.sfnFormatMsgboxForLog.\r\n"
                      "The processed message was: " +
                          narrow(too_far) + "The error occured at line: N"));
}

// The one place the box records' forms are pinned. The box shows the text
// without the server's exception name; the records keep it.
TEST_F(Boxes, MsgBoxLogsTheTextAndTheAnswerEverywhere) {
  h.boxes.answer = 6;
  EXPECT_EQ(
      MsgBox(OLESTR("first com.marrowind.quillon.server.Db: x\r\nsecond"), 4, std::nullopt, 3), 6);
  const auto& box = h.boxes.last();
  EXPECT_EQ(box.text + "|" + box.title + "|" + std::to_string(box.style),
            "first  x\r\nsecond|Quillon MT|4");
  const std::string stamp = "02-01-26 09:05:03.007\t",
                    text = "first com.marrowind.quillon.server.Db: x";
  const std::string before = stamp + "MSGBOX: " + text + "\r\n\t\t\tsecond\r\n";
  const std::string after = stamp + "User clicked: YES\r\n";
  EXPECT_EQ(read_file(h.summary_log()), "\r\n" + before + "\r\n" + after);
  EXPECT_EQ(read_file(h.detail_log()),
            before +
                h.stamped("modVBTrace.WriteErrorNode",
                          "Attempting to open: " + narrow(ole_path(h.folder.path())) +
                              "\\detailErrors.log") +
                after);
  const std::string in = "\r\n" + stamp + "Msgbox in " + narrow(h.detail_log()) + "\r\n";
  EXPECT_EQ(h.masked("PossibleErrors.log"), in + before + in + after);
  EXPECT_EQ(h.debug_output.lines.back(),
            "MSGBOX: " + text + "\r\n\t\t\tsecond\r\n\t\t\tUser clicked: YES");
  // clang-format off
  EXPECT_EQ(h.error_records(), std::vector{error_record({.severity = "3", .displayedToUser = "Y",
      .errorDescription = text + "\tsecond", .lineNumber = ""})});
  // clang-format on
}

// One apartment, one box after the other: the switch file is looked for at
// every call; a box of severity 5 is neither counted nor recorded.
TEST_F(Boxes, AnswersSwitchFileAndSeverity) {
  // clang-format off
  const std::tuple<std::int32_t, bool, std::int32_t, const OLECHAR*, const char*, const char*, int>
      rows[] = {  // answer, "NoMsgBox.flg", severity, title; clicked, title shown, counter after
          {2, true, 3, nullptr, "OK", "", 1},
          {2, false, 3, nullptr, "CANCEL", "Quillon MT", 2},
          {8, false, 5, OLESTR("Error"), "Code 8", "Error", 2}};
  // clang-format on
  for (const auto& [answer, switch_file, severity, title, clicked, shown, count] : rows) {
    if (switch_file) h.folder.put("NoMsgBox.flg");
    h.boxes.boxes.clear();
    h.boxes.answer = answer;
    EXPECT_EQ(MsgBox(OLESTR("text"), 1, title ? std::optional<OleStringView>(title) : std::nullopt,
                     severity),
              switch_file ? 1 : answer);
    fs::remove(h.folder.path() / "NoMsgBox.flg");
    EXPECT_EQ(h.boxes.last().title, shown) << clicked;
    EXPECT_EQ(count_of(read_file(h.detail_log()), std::string("\tUser clicked: ") + clicked), 1u);
    EXPECT_EQ(sfnReadSessionStat(5), wide(std::to_string(count)));
    EXPECT_EQ(h.error_records().size(), static_cast<std::size_t>(count));
  }
  // A folder of that name is not the switch file.
  fs::create_directory(h.folder.path() / "NoMsgBox.flg");
  EXPECT_TRUE(bfnMsgBoxesAllowed());
}

// The busy event exists while the box is up; without it the box is shown
// all the same and the failure logged.
TEST_F(Boxes, TheBusyEvent) {
  FakeEnvironment events;
  const platform::Environment::Override use(events);
  module_values().use_quillon_app_path = false;  // no other event is looked for
  h.boxes.on_show = [&] {
    EXPECT_EQ(events.created_events, std::vector<OleString>{OLESTR("QuillonBusyEvent")});
    EXPECT_TRUE(events.signalled.empty());
  };
  MsgBox(OLESTR("busy"), 0, std::nullopt, 5);
  EXPECT_EQ(events.signalled, std::vector<std::intptr_t>{1});
  EXPECT_EQ(events.closed, std::vector<std::intptr_t>{1});

  h.boxes.on_show = nullptr;
  events.events_available = false;
  MsgBox(OLESTR("shown anyway"), 0, std::nullopt, 5);
  EXPECT_EQ(h.boxes.boxes.size(), 2u);
  EXPECT_TRUE(h.errors_logged("modVBTrace.MsgBox", "Unable to create MsgBox event"));
}

std::string trap_text(const std::string& number, const std::string& description) {
  return "Error " + number + ": " + description + "\r\nin a.b.\r\nThe error occured at line: 12";
}

const std::string kOrdinaryWords =
    "Quillon has encountered an unexpected problem.  The details of the problem are displayed "
    "below and have been sent to Orlanth | Marrowind for review.\r\n\r\nYou may continue to work "
    "within Quillon.  If you continue to have problems with Quillon, please contact your IT "
    "Support Staff for assistance.\r\n\r\nProblem details sent to Orlanth | Marrowind: \r\n";

// The words for an error, the caller's text afterwards (remote-call errors
// are told apart by the processes that ended before), and the records:
// ErrMsgBox's own, then the box's.
TEST(ErrMsgBox, WordsAndRecords) {
  const std::string plain = trap_text("5", "Access denied");
  const std::string install = trap_text("458", "Variable uses an Automation type");
  const std::string remote = trap_text("-2147023170", "Automation error");
  const std::string none = "After no other process terminations: " + remote;
  const std::string prior =
      "After prior process terminations: " + remote + "\r\nProcess termination details: A, B";
  auto flat = [](const std::string& s) { return std::regex_replace(s, std::regex("\r\n"), "  "); };
  // The caller's text, "Abends.txt" (nullptr: none); the box's text, the
  // caller's text afterwards, the description recorded.
  // clang-format off
  const std::tuple<std::string, const char*, std::string, std::string, std::string> rows[] = {
      {plain, nullptr, kOrdinaryWords + plain, plain, "Access denied"},
      {install, nullptr, "Quillon has encountered an unexpected problem:\r\n\r\n" + install +
           "\r\n\r\nPlease check to make sure that Quillon is properly installed.\r\n\r\n"
           "Press OK to continue.", install, "Variable uses an Automation type"},
      {remote, nullptr, kOrdinaryWords + none, none, flat(none)},
      {remote, "A\r\nB\r\n", kOrdinaryWords + prior, prior, flat(prior)}};
  // clang-format on
  for (const auto& [message, abends, shown, after, recorded] : rows) {
    TraceHarness h(2, true);
    if (abends) h.folder.put("Abends.txt", abends);
    OleString text = wide(message);
    EXPECT_EQ(ErrMsgBox(text, 4097, OLESTR("Error"), true), 1);
    const auto& box = h.boxes.last();
    EXPECT_EQ(std::to_string(h.boxes.boxes.size()) + "|" + box.title + "|" +
                  std::to_string(box.style) + "|" + box.text,
              "1|Quillon Warning Message|4096|" + shown);
    EXPECT_EQ(narrow(text), after);
    const std::vector<std::string> records = h.error_records();
    ASSERT_EQ(records.size(), 2u);
    const std::string number = message.substr(6, message.find(':') - 6);
    // clang-format off
    EXPECT_EQ(records[0], error_record({.displayedToUser = "Y", .errorNumber = number,
        .errorDescription = recorded, .module = "a", .member = "b", .lineNumber = "12"}));
    // clang-format on
  }
}

// A nested ErrMsgBox is only noted; an error number that is no number ends
// in the trap, which resets the guard. Both records carry the user's time
// separator.
TEST_F(Boxes, NestedCallsAndOddNumbers) {
  h.boxes.on_show = [] {
    OleString inner = OLESTR("Error 6: inner");
    EXPECT_EQ(ErrMsgBox(inner, 4096, OLESTR("Error"), true), 1);
  };
  h.boxes.answer = 2;
  h.clock.separator = ".";
  OleString outer = wide(trap_text("5", "outer"));
  EXPECT_EQ(ErrMsgBox(outer, 4096, OLESTR("Error"), true), 2);
  EXPECT_EQ(h.boxes.boxes.size(), 1u);
  EXPECT_EQ(count_of(h.masked("PossibleErrors.log"),
                     "09.05.03\tREENTERING ERRMSGBOX!!!\r\nMessage Passed:\r\nError 6: inner\r\n"),
            1u);
  EXPECT_EQ(sfnReadSessionStat(4), OLESTR("1"));

  h.boxes.on_show = nullptr;
  for (const char* number : {"5-5", "99999999999"}) {
    OleString text = wide(trap_text(number, "odd"));
    EXPECT_EQ(ErrMsgBox(text, 4096, OLESTR("Error"), true), 1);
  }
  EXPECT_EQ(h.boxes.boxes.size(), 1u);
  EXPECT_NE(h.masked("PossibleErrors.log")
                .find("\r\n09.05.03\tERROR IN ERRMSGBOX\r\nError 13\r\nType mismatch\r\nAt line N"
                      "\r\n09.05.03\tERROR IN ERRMSGBOX\r\nError 6\r\nOverflow\r\nAt line N\r\n"),
            std::string::npos);
  // No number at all reads as error 0: the ordinary box, not the trap.
  OleString unnumbered = wide(trap_text("", "odd"));
  ErrMsgBox(unnumbered, 4096, OLESTR("Error"), true);
  EXPECT_EQ(h.shown(kOrdinaryWords + "Error : odd"), 1u);
  EXPECT_EQ(count_of(read_file(h.errors_file()), "<errorNumber>0</errorNumber>"), 1u);
}

#ifdef _WIN32
bool modal_answer = false, modal_asked = false;

LRESULT CALLBACK modal_probe(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message != WM_APP) return DefWindowProcW(window, message, w, l);
  modal_answer = InModalState();
  modal_asked = true;
  PostMessageW(window, WM_NULL, 0, 0);  // wakes the message loop of the test
  return 0;
}

// Inside a message another thread sent, the answer is true at once: the
// library is not asked.
TEST_F(Boxes, InsideASentMessageTheThreadIsModal) {
  fs::remove(helper_program("CanRaiseEvent.calls"));
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = modal_probe;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"CorvaneModalProbe";
  RegisterClassW(&window_class);
  HWND window = CreateWindowW(L"CorvaneModalProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              window_class.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  std::thread sender([window] { SendMessageW(window, WM_APP, 0, 0); });
  MSG message;
  while (!modal_asked && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  sender.join();
  DestroyWindow(window);
  EXPECT_TRUE(modal_answer);
  EXPECT_FALSE(fs::exists(helper_program("CanRaiseEvent.calls")));
}
#endif

}  // namespace
}  // namespace corvane::modVBTrace
