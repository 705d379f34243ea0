// The message boxes: what MsgBox shows and logs, the words ErrMsgBox finds
// for an error and what it records, its guard and its own failures, the
// modal-state question, and the log form of a box's text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "support/log_capture.h"
#include "trace/message_boxes.h"
#include "trace/module_values.h"
#include "trace/summary_log.h"

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;
using testing::TraceHarness;

constexpr const char* kStamp = "02-01-26 09:05:03.007\t";

struct Boxes : ::testing::Test {
  Boxes() {
    h.init(2);
    h.side_files_here();
  }
  std::string possible_errors() const {
    return testing::mask_lines(testing::read_file(h.folder.file("PossibleErrors.log")));
  }
  TraceHarness h;
};

TEST_F(Boxes, TheLogFormIndentsFollowingLines) {
  // A line break from character 32,766 on overflows the 16-bit positions:
  // the text comes back as it was, and the overflow is logged with the text.
  const OleString too_far = OleString(32765, u'x') + OLESTR("\r\nt");
  const std::pair<OleString, OleString> rows[] = {
      {OLESTR("first\r\nsecond"), OLESTR("first\r\n\t\t\tsecond")},
      {OLESTR("a\r\nb\r\n"), OLESTR("a\r\n\t\t\tb\r\n\t\t\t")},
      {OLESTR("a\rb\nc"), OLESTR("a\rb\nc")},
      {too_far.substr(1), OleString(32764, u'x') + OLESTR("\r\n\t\t\tt")},
      {too_far, too_far}};
  for (const auto& [text, logged] : rows) EXPECT_EQ(sfnFormatMsgboxForLog(text), logged);
  EXPECT_TRUE(h.traced_masked(
      "modVBTrace.GlobalErrorsLog",
      "GlobalErrorsLog >>> modVBTrace.sfnFormatMsgboxForLog\tError 6: Overflow\r\nin "
      "Corvane.modVBTrace.sfnFormatMsgboxForLog.\r\nThe processed message was: " +
          testing::narrow(too_far) + "The error occured at line: N\tSeverity: 2"));
}

// The one place the box records' forms are pinned.
TEST_F(Boxes, MsgBoxLogsTheTextAndTheAnswerEverywhere) {
  h.boxes.answer = 6;
  EXPECT_EQ(MsgBox(OLESTR("first\r\nsecond"), 4, std::nullopt, 3), 6);
  EXPECT_EQ(
      h.boxes.last().text + "|" + h.boxes.last().title + "|" + std::to_string(h.boxes.last().style),
      "first\r\nsecond|Quillon MT|4");
  const std::string before = std::string(kStamp) + "MSGBOX: first\r\n\t\t\tsecond\r\n";
  const std::string after = std::string(kStamp) + "User clicked: YES\r\n";
  EXPECT_EQ(testing::read_file(h.summary_log()), "\r\n" + before + "\r\n" + after);
  EXPECT_EQ(testing::read_file(h.detail_log()),
            before +
                h.stamped("modVBTrace.WriteErrorNode",
                          "Attempting to open: " + testing::narrow(h.errors_file_as_logged())) +
                after);
  const std::string in =
      "\r\n" + std::string(kStamp) + "Msgbox in " + testing::narrow(h.detail_log()) + "\r\n";
  EXPECT_EQ(possible_errors(), in + before + in + after);
  EXPECT_EQ(h.debug_output.lines.back(),
            "MSGBOX: first\r\n\t\t\tsecond\r\n\t\t\tUser clicked: YES");
  EXPECT_EQ(h.error_records(), std::vector<std::string>{testing::error_record(
                                   {"02/01/2026 09:05:03", "3", "Y", "", "first\tsecond",
                                    testing::ErrorRecord::own_component(), "", "", ""})});
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
    if (switch_file) std::ofstream(h.folder.path() / "NoMsgBox.flg") << "";
    h.boxes.boxes.clear();
    h.boxes.answer = answer;
    EXPECT_EQ(MsgBox(OLESTR("text"), 1, title ? std::optional<OleStringView>(title) : std::nullopt,
                     severity),
              switch_file ? 1 : answer);
    fs::remove(h.folder.path() / "NoMsgBox.flg");
    EXPECT_EQ(h.boxes.last().title, shown) << clicked;
    EXPECT_EQ(testing::count_of(testing::read_file(h.detail_log()),
                                std::string("\tUser clicked: ") + clicked + "\r\n"),
              1u);
    EXPECT_EQ(sfnReadSessionStat(5), testing::wide(std::to_string(count)));
    EXPECT_EQ(h.error_records().size(), static_cast<std::size_t>(count));
  }
}

// The busy event exists while the box is up; without it the box is shown
// all the same and the failure logged before the answer.
TEST_F(Boxes, TheBusyEvent) {
  testing::FakeEnvironment events;
  const platform::Environment::Override use(events);
  std::intptr_t busy = 0;
  h.boxes.on_show = [&] {
    busy = static_cast<std::intptr_t>(events.created_events.size());
    EXPECT_EQ(events.created_events.back(), OLESTR("QuillonBusyEvent"));
    EXPECT_TRUE(events.signalled.empty());
  };
  MsgBox(OLESTR("busy"), 0, std::nullopt, 5);
  EXPECT_EQ(events.signalled, std::vector<std::intptr_t>{busy});
  EXPECT_EQ(events.closed.back(), busy);

  h.boxes.on_show = nullptr;
  events.events_available = false;
  MsgBox(OLESTR("shown anyway"), 0, std::nullopt, 5);
  EXPECT_EQ(h.boxes.boxes.size(), 2u);
  const std::string failure = h.stamped(
      "modVBTrace.GlobalErrorsLog",
      "GlobalErrorsLog >>> modVBTrace.MsgBox\tUnable to create MsgBox event\tSeverity: 2");
  const std::string log = testing::read_file(h.detail_log());
  EXPECT_LT(log.find(failure), log.rfind("User clicked: OK"));
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
  struct Row {
    std::string number, message;
    const char* abends;  // "Abends.txt"; nullptr: none
    std::string box, after, recorded;
  };
  // clang-format off
  const Row rows[] = {
      {"5", plain, nullptr, kOrdinaryWords + plain, plain, "Access denied"},
      {"458", install, nullptr, "Quillon has encountered an unexpected problem:\r\n\r\n" + install +
           "\r\n\r\nPlease check to make sure that Quillon is properly installed.\r\n\r\n"
           "Press OK to continue.", install, "Variable uses an Automation type"},
      {"-2147023170", remote, nullptr, kOrdinaryWords + none, none,
       std::regex_replace(none, std::regex("\r\n"), "  ")},
      {"-2147023170", remote, "A\r\nB\r\n", kOrdinaryWords + prior, prior,
       std::regex_replace(prior, std::regex("\r\n"), "  ")}};
  // clang-format on
  for (const Row& row : rows) {
    TraceHarness h;
    h.init(2);
    h.side_files_here();
    if (row.abends) std::ofstream(h.folder.path() / "Abends.txt", std::ios::binary) << row.abends;
    OleString text = testing::wide(row.message);
    EXPECT_EQ(ErrMsgBox(text, 4097, OLESTR("Error"), true), 1);
    EXPECT_EQ(std::to_string(h.boxes.boxes.size()) + "|" + h.boxes.last().title + "|" +
                  std::to_string(h.boxes.last().style) + "|" + h.boxes.last().text,
              "1|Quillon Warning Message|4096|" + row.box);
    EXPECT_EQ(testing::narrow(text), row.after);
    const std::vector<std::string> records = h.error_records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0],
              testing::error_record({"02/01/2026 09:05:03", "2", "Y", row.number, row.recorded,
                                     testing::ErrorRecord::own_component(), "a", "b", "12"}));
    EXPECT_EQ(sfnReadSessionStat(4) + sfnReadSessionStat(5), OLESTR("11"));
    EXPECT_EQ(module_values().in_errmsgbox, std::optional<bool>(false));
  }
}

TEST_F(Boxes, ANestedErrMsgBoxIsOnlyNoted) {
  h.boxes.on_show = [] {
    OleString inner = OLESTR("Error 6: inner");
    EXPECT_EQ(ErrMsgBox(inner, 4096, OLESTR("Error"), true), 1);
  };
  h.boxes.answer = 2;
  h.clock.separator = ".";  // the user's time separator stands for the colons
  OleString outer = testing::wide(trap_text("5", "outer"));
  EXPECT_EQ(ErrMsgBox(outer, 4096, OLESTR("Error"), true), 2);
  EXPECT_EQ(h.boxes.boxes.size(), 1u);
  EXPECT_EQ(testing::count_of(possible_errors(),
                              "09.05.03\tREENTERING ERRMSGBOX!!!\r\nMessage "
                              "Passed:\r\nError 6: inner\r\n"),
            1u);
  EXPECT_EQ(sfnReadSessionStat(4), OLESTR("1"));
}

TEST_F(Boxes, AnErrorNumberThatIsNoNumberEndsInTheTrap) {
  h.clock.separator = ".";
  for (const char* number : {"5-5", "99999999999"}) {
    OleString text = testing::wide(trap_text(number, "odd"));
    EXPECT_EQ(ErrMsgBox(text, 4096, OLESTR("Error"), true), 1);
  }
  EXPECT_TRUE(h.boxes.boxes.empty());
  EXPECT_EQ(possible_errors(),
            "09.05.03\tERROR IN ERRMSGBOX\r\nError 13\r\nType mismatch\r\nAt line N\r\n"
            "09.05.03\tERROR IN ERRMSGBOX\r\nError 6\r\nOverflow\r\nAt line N\r\n");
  EXPECT_EQ(module_values().in_errmsgbox, std::optional<bool>(false));
  // The guard was reset by the trap. No number at all reads as error 0: the
  // ordinary box, not the trap.
  OleString unnumbered = testing::wide(trap_text("", "odd"));
  ErrMsgBox(unnumbered, 4096, OLESTR("Error"), true);
  EXPECT_EQ(h.shown(kOrdinaryWords + "Error : odd"), 1u);
  EXPECT_NE(testing::read_file(h.errors_file()).find("<errorNumber>0</errorNumber>"),
            std::string::npos);
}

// The modal-state question goes to the stand-in "rodevuzudov.dll" beside
// this program, which answers what "CanRaiseEvent.answer" says.
TEST_F(Boxes, InModalStateAsksTheLibrary) {
  const fs::path answer = testing::helper_program("CanRaiseEvent.answer");
  const fs::path calls = testing::helper_program("CanRaiseEvent.calls");
  fs::remove(calls);
  for (const bool modal : {true, false}) {
    std::ofstream(answer) << !modal;
    EXPECT_EQ(InModalState(), modal);
  }
  fs::remove(answer);
  EXPECT_EQ(testing::read_bytes(calls), "0\n0\n");
  fs::remove(calls);
}

#ifdef _WIN32
bool modal_answer = false;
bool modal_asked = false;

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
  fs::remove(testing::helper_program("CanRaiseEvent.calls"));
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
  EXPECT_FALSE(fs::exists(testing::helper_program("CanRaiseEvent.calls")));
}
#endif

}  // namespace
}  // namespace corvane::modVBTrace
