// The message boxes: what MsgBox shows and logs, the words ErrMsgBox finds
// for an error and what it records, its guard and its own failures, the
// switch file, the modal-state question, and the small routines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/environment.h"
#include "support/log_capture.h"
#include "trace/message_boxes.h"
#include "trace/module_values.h"
#include "trace/summary_log.h"

namespace corvane::modVBTrace {
namespace {

using testing::TraceHarness;

TEST(MessageBoxes, AnswerNames) {
  TraceHarness h;
  const std::pair<std::int32_t, const char*> names[] = {
      {1, "OK"},  {2, "CANCEL"}, {3, "ABORT"},  {4, "RETRY"},   {5, "IGNORE"},
      {6, "YES"}, {7, "NO"},     {8, "Code 8"}, {-1, "Code -1"}};
  for (const auto& [value, name] : names) EXPECT_EQ(testing::narrow(sfnMsgboxReturn(value)), name);
}

TEST(MessageBoxes, TheLogFormIndentsFollowingLines) {
  TraceHarness h;
  h.init(2);
  EXPECT_EQ(sfnFormatMsgboxForLog(OLESTR("first\r\nsecond")), OLESTR("first\r\n\t\t\tsecond"));
  EXPECT_EQ(sfnFormatMsgboxForLog(OLESTR("one line")), OLESTR("one line"));
  EXPECT_EQ(sfnFormatMsgboxForLog(OLESTR("ends\r\n")), OLESTR("ends\r\n\t\t\t"));
  EXPECT_EQ(sfnFormatMsgboxForLog(OLESTR("a\rb\nc")), OLESTR("a\rb\nc"));
  EXPECT_TRUE(h.detail_lines().empty());

  // A line break past the 16-bit positions: the text comes back as it was,
  // and the overflow is logged with the text.
  const OleString long_text = OleString(40000, u'x') + OLESTR("\r\ntail");
  EXPECT_EQ(sfnFormatMsgboxForLog(long_text), long_text);
  const std::string log = testing::read_file(h.detail_log());
  EXPECT_NE(
      log.find("GlobalErrorsLog >>> modVBTrace.sfnFormatMsgboxForLog\tError 6: Overflow\r\n"
               "in Corvane.modVBTrace.sfnFormatMsgboxForLog.\r\nThe processed message was: xxx"),
      std::string::npos);
  EXPECT_NE(log.find("tailThe error occured at line: "), std::string::npos);
}

TEST(MessageBoxes, TheSwitchFileSuppressesBoxes) {
  TraceHarness h;
  module_values().app_path = testing::ole_path(h.folder.path());
  EXPECT_TRUE(bfnMsgBoxesAllowed());
  std::ofstream(h.folder.path() / "NoMsgBox.flg") << "";
  EXPECT_FALSE(bfnMsgBoxesAllowed());
  std::filesystem::remove(h.folder.path() / "NoMsgBox.flg");
  EXPECT_TRUE(bfnMsgBoxesAllowed());  // looked for at every call
}

namespace fs = std::filesystem;

constexpr const char* kStamp = "02-01-26 09:05:03.007\t";

std::string file_text(const TraceHarness& h, const char* name) {
  return testing::read_file(testing::ole_path(h.folder.path() / name));
}

struct Boxes : ::testing::Test {
  Boxes() {
    h.init(2);
    h.side_files_here();
  }
  TraceHarness h;
};

TEST_F(Boxes, MsgBoxLogsTheTextAndTheAnswerEverywhere) {
  h.boxes.answer = 6;
  EXPECT_EQ(MsgBox(OLESTR("first\r\nsecond"), 4, std::nullopt, 3), 6);
  ASSERT_EQ(h.boxes.boxes.size(), 1u);
  EXPECT_EQ(h.boxes.boxes[0].text, "first\r\nsecond");
  EXPECT_EQ(h.boxes.boxes[0].title, "Quillon MT");
  EXPECT_EQ(h.boxes.boxes[0].style, 4);

  const std::string before = std::string(kStamp) + "MSGBOX: first\r\n\t\t\tsecond\r\n";
  const std::string after = std::string(kStamp) + "User clicked: YES\r\n";
  EXPECT_EQ(testing::read_file(h.summary_log()), "\r\n" + before + "\r\n" + after);
  EXPECT_EQ(testing::read_file(h.detail_log()),
            before + kStamp + "Corvane\tmodVBTrace.WriteErrorNode: Attempting to open: " +
                testing::narrow(h.errors_file_as_logged()) + "\r\n" + after);
  const std::string in =
      "\r\n" + std::string(kStamp) + "Msgbox in " + testing::narrow(h.detail_log()) + "\r\n";
  EXPECT_EQ(file_text(h, "PossibleErrors.log"), in + before + in + after);
  ASSERT_FALSE(h.debug_output.lines.empty());
  EXPECT_EQ(h.debug_output.lines.back(),
            "MSGBOX: first\r\n\t\t\tsecond\r\n\t\t\tUser clicked: YES");

  EXPECT_EQ(sfnReadSessionStat(5), OLESTR("1"));
  const std::string errors = testing::read_file(h.errors_file());
  EXPECT_NE(errors.find("        <severity>3</severity>\r\n"
                        "        <displayedToUser>Y</displayedToUser>\r\n"
                        "        <errorNumber/>\r\n"
                        "        <errorDescription>first\tsecond</errorDescription>\r\n"),
            std::string::npos)
      << errors;
  EXPECT_NE(errors.find("<module/>\r\n        <member/>\r\n        <lineNumber/>"),
            std::string::npos);
}

TEST_F(Boxes, SeverityFiveIsShownButNeitherCountedNorRecorded) {
  h.init(4);
  EXPECT_EQ(MsgBox(OLESTR("note"), 0, OleStringView(OLESTR("Error")), 5), 1);
  ASSERT_EQ(h.boxes.boxes.size(), 1u);
  EXPECT_EQ(h.boxes.boxes[0].title, "Error");
  EXPECT_EQ(sfnReadSessionStat(5), OLESTR(""));
  EXPECT_FALSE(fs::exists(testing::narrow(h.errors_file())));
  EXPECT_NE(testing::read_file(h.detail_log()).find("modVBTrace.MsgBox: Severity: 5\r\n"),
            std::string::npos);
}

TEST_F(Boxes, TheSwitchFileKeepsTheBoxAwayButNotTheRecords) {
  std::ofstream(h.folder.path() / "NoMsgBox.flg") << "";
  h.boxes.answer = 2;
  EXPECT_EQ(MsgBox(OLESTR("quiet"), 1, std::nullopt, 3), 1);
  EXPECT_TRUE(h.boxes.boxes.empty());
  EXPECT_NE(testing::read_file(h.detail_log()).find("\tUser clicked: OK\r\n"), std::string::npos);
  EXPECT_EQ(sfnReadSessionStat(5), OLESTR("1"));
  EXPECT_NE(testing::read_file(h.errors_file()).find("<displayedToUser>Y</displayedToUser>"),
            std::string::npos);
}

TEST_F(Boxes, TheBusyEventExistsWhileTheBoxIsUp) {
  platform::Environment& system = platform::Environment::system();
  bool existed_during = false;
  h.boxes.on_show = [&] {
    const std::intptr_t probe = system.create_event(OLESTR("QuillonBusyEvent"), &existed_during);
    system.close_event(probe);
  };
  MsgBox(OLESTR("busy"), 0, std::nullopt, 5);
  EXPECT_TRUE(existed_during);
  bool existed_after = true;
  const std::intptr_t probe = system.create_event(OLESTR("QuillonBusyEvent"), &existed_after);
  system.close_event(probe);
  EXPECT_FALSE(existed_after);
}

// An environment in which no named event can be had.
class NoEvents final : public platform::Environment {
 public:
  std::optional<OleString> roaming_app_data_folder() override { return std::nullopt; }
  std::intptr_t create_event(OleStringView, bool* existed) override {
    *existed = false;
    return 0;
  }
  void signal_event(std::intptr_t) override { ADD_FAILURE() << "no event to signal"; }
  void close_event(std::intptr_t) override { ADD_FAILURE() << "no event to close"; }
  OleString window_text(std::intptr_t, int) override { return OleString(); }
};

TEST_F(Boxes, WithoutTheEventTheBoxIsShownAndTheFailureLogged) {
  NoEvents none;
  platform::Environment::Override use(none);
  MsgBox(OLESTR("shown anyway"), 0, std::nullopt, 5);
  EXPECT_EQ(h.boxes.boxes.size(), 1u);
  const std::string log = testing::read_file(h.detail_log());
  const std::size_t failure =
      log.find("GlobalErrorsLog >>> modVBTrace.MsgBox\tUnable to create MsgBox event");
  EXPECT_NE(failure, std::string::npos);
  EXPECT_LT(failure, log.find("User clicked: OK"));
}

const char* const kTrapText =
    "Error 5: Access denied\r\nin Corvane.modTest.Routine.\r\nThe error occured at line: 12";

TEST_F(Boxes, ErrMsgBoxShowsTheOrdinaryWordsAndRecordsTwice) {
  OleString text = testing::wide(kTrapText);
  EXPECT_EQ(ErrMsgBox(text, 4097, OLESTR("Error"), true), 1);
  ASSERT_EQ(h.boxes.boxes.size(), 1u);
  EXPECT_EQ(h.boxes.boxes[0].title, "Quillon Warning Message");
  EXPECT_EQ(h.boxes.boxes[0].style, 4096);
  EXPECT_EQ(
      h.boxes.boxes[0].text,
      std::string("Quillon has encountered an unexpected problem.  The details of the problem "
                  "are displayed below and have been sent to Orlanth | Marrowind for review."
                  "\r\n\r\nYou may continue to work within Quillon.  If you continue to have "
                  "problems with Quillon, please contact your IT Support Staff for "
                  "assistance.\r\n\r\nProblem details sent to Orlanth | Marrowind: \r\n") +
          kTrapText);
  EXPECT_EQ(sfnReadSessionStat(4), OLESTR("1"));
  EXPECT_EQ(sfnReadSessionStat(5), OLESTR("1"));
  const std::string errors = testing::read_file(h.errors_file());
  EXPECT_EQ(testing::count_of(errors, "<error>"), 2u);
  EXPECT_NE(errors.find("<errorNumber>5</errorNumber>\r\n"
                        "        <errorDescription>Access denied</errorDescription>\r\n"),
            std::string::npos)
      << errors;
  EXPECT_NE(errors.find("<member>Routine</member>\r\n        <lineNumber>12</lineNumber>"),
            std::string::npos);
  EXPECT_EQ(module_values().in_errmsgbox, std::optional<bool>(false));
}

TEST_F(Boxes, ErrMsgBoxWordsForInstallationAndRemoteCallErrors) {
  OleString installation = OLESTR(
      "Error 458: Variable uses an Automation type\r\nin a.b.\r\n"
      "The error occured at line: 1");
  ErrMsgBox(installation, 4096, OLESTR("Error"), true);
  EXPECT_EQ(h.boxes.last().text,
            "Quillon has encountered an unexpected problem:\r\n\r\n" +
                testing::narrow(installation) +
                "\r\n\r\nPlease check to make sure that Quillon is properly installed.\r\n\r\n"
                "Press OK to continue.");

  OleString remote = OLESTR(
      "Error -2147023170: Automation error\r\nin a.b.\r\n"
      "The error occured at line: 2");
  const std::string original = testing::narrow(remote);
  ErrMsgBox(remote, 4096, OLESTR("Error"), true);
  EXPECT_EQ(testing::narrow(remote), "After no other process terminations: " + original);
  EXPECT_NE(h.boxes.last().text.find("Marrowind: \r\nAfter no other process terminations: "),
            std::string::npos);

  std::ofstream(h.folder.path() / "Abends.txt", std::ios::binary) << "A\r\nB\r\n";
  OleString again = testing::wide(original);
  ErrMsgBox(again, 4096, OLESTR("Error"), true);
  EXPECT_EQ(testing::narrow(again), "After prior process terminations: " + original +
                                        "\r\nProcess termination details: A, B");
  // The recorded description is the new text on one line.
  EXPECT_NE(testing::read_file(h.errors_file())
                .find("<errorDescription>After prior process terminations: Error -2147023170: "
                      "Automation error  in a.b.  The error occured at line: 2  Process "
                      "termination details: A, B</errorDescription>"),
            std::string::npos);
}

TEST_F(Boxes, ANestedErrMsgBoxIsOnlyNoted) {
  h.boxes.on_show = [] {
    OleString inner = OLESTR("Error 6: inner");
    EXPECT_EQ(ErrMsgBox(inner, 4096, OLESTR("Error"), true), 1);
  };
  h.boxes.answer = 2;
  h.clock.separator = ".";  // the user's time separator stands for the colons
  OleString outer = testing::wide(kTrapText);
  EXPECT_EQ(ErrMsgBox(outer, 4096, OLESTR("Error"), true), 2);
  EXPECT_EQ(h.boxes.boxes.size(), 1u);
  const std::string possible = file_text(h, "PossibleErrors.log");
  EXPECT_EQ(
      testing::count_of(
          possible, "09.05.03\tREENTERING ERRMSGBOX!!!\r\nMessage Passed:\r\nError 6: inner\r\n"),
      1u)
      << possible;
  EXPECT_EQ(sfnReadSessionStat(4), OLESTR("1"));
}

TEST_F(Boxes, AnErrorNumberThatIsNoNumberEndsInTheTrap) {
  h.clock.separator = ".";
  for (const char* number : {"5-5", "99999999999"}) {
    OleString text = OLESTR("Error ") + testing::wide(number) +
                     OLESTR(
                         ": odd\r\nin a.b.\r\n"
                         "The error occured at "
                         "line: 3");
    EXPECT_EQ(ErrMsgBox(text, 4096, OLESTR("Error"), true), 1);
  }
  EXPECT_TRUE(h.boxes.boxes.empty());
  const std::string possible = file_text(h, "PossibleErrors.log");
  EXPECT_EQ(testing::count_of(
                possible, "09.05.03\tERROR IN ERRMSGBOX\r\nError 13\r\nType mismatch\r\nAt line "),
            1u)
      << possible;
  EXPECT_EQ(testing::count_of(possible,
                              "09.05.03\tERROR IN ERRMSGBOX\r\nError 6\r\nOverflow\r\nAt line "),
            1u);
  EXPECT_EQ(module_values().in_errmsgbox, std::optional<bool>(false));
  OleString fine = testing::wide(kTrapText);
  ErrMsgBox(fine, 4096, OLESTR("Error"), true);
  EXPECT_EQ(h.boxes.boxes.size(), 1u);  // the guard was reset by the trap

  // No number at all reads as error 0: the ordinary box, not the trap.
  OleString unnumbered = OLESTR("Error : odd\r\nin a.b.\r\nThe error occured at line: 3");
  ErrMsgBox(unnumbered, 4096, OLESTR("Error"), true);
  EXPECT_EQ(h.shown("Problem details sent to Orlanth | Marrowind: \r\nError : odd"), 1u);
  EXPECT_NE(testing::read_file(h.errors_file()).find("<errorNumber>0</errorNumber>"),
            std::string::npos);
}

// The modal-state question goes to the stand-in "rodevuzudov.dll" beside
// this program, which answers what "CanRaiseEvent.answer" says.
TEST_F(Boxes, InModalStateAsksTheLibrary) {
  const fs::path own = testing::program_folder();
  const fs::path answer = own / "CanRaiseEvent.answer";
  fs::remove(own / "CanRaiseEvent.calls");
  std::ofstream(answer) << 0;
  EXPECT_TRUE(InModalState());
  std::ofstream(answer) << 1;
  EXPECT_FALSE(InModalState());
  fs::remove(answer);
  EXPECT_EQ(testing::read_file(testing::ole_path(own / "CanRaiseEvent.calls")), "0\n0\n");
  fs::remove(own / "CanRaiseEvent.calls");

  fs::rename(own / "rodevuzudov.dll", own / "rodevuzudov.away");
  EXPECT_FALSE(InModalState());
  fs::rename(own / "rodevuzudov.away", own / "rodevuzudov.dll");
  EXPECT_NE(testing::read_file(h.detail_log())
                .find("GlobalErrorsLog >>> modVBTrace.InModalState\tError 53: File not found\r\n"
                      "in Corvane.modVBTrace.InModalState.\r\nThe error occured at line: "),
            std::string::npos);
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
  const fs::path own = testing::program_folder();
  fs::remove(own / "CanRaiseEvent.calls");
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
  EXPECT_FALSE(fs::exists(own / "CanRaiseEvent.calls"));
}
#endif

}  // namespace
}  // namespace corvane::modVBTrace
