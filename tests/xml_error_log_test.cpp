// The XML error table: the errors file's bytes, where it lives, the source
// labels, the hang-dump hook, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "platform/files.h"
#include "platform/module_info.h"
#include "support/log_capture.h"
#include "trace/message_boxes.h"
#include "trace/module_values.h"
#include "trace/xml_error_log.h"

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;
using testing::TraceHarness;

std::string component() {
  return testing::narrow(platform::file_base_name(platform::ModuleInfo::current().own_file_path()));
}

fs::path own_folder() {
  return testing::program_folder();
}

TEST(ErrorTable, TheFirstRecordCreatesTheFileAndLaterOnesAppend) {
  TraceHarness h;
  h.init(4);
  AppendErrorNode(3, OLESTR("a < b & c\r\nnext \"q\" 'a' >\rlone"), false, OLESTR(""),
                  OLESTR("abc"), OLESTR("Corvane.clsStringList.lfnMatch"));
  const std::string first =
      "    <error>\r\n"
      "        <firstOccurrence>02/01/2026 09:05:03</firstOccurrence>\r\n"
      "        <severity>3</severity>\r\n"
      "        <displayedToUser>N</displayedToUser>\r\n"
      "        <errorNumber/>\r\n"
      "        <errorDescription>a &lt; b &amp; c\tnext &quot;q&quot; &apos;a&apos; &gt;\rlone"
      "</errorDescription>\r\n"
      "        <component>" +
      component() +
      "</component>\r\n"
      "        <module>clsStringList</module>\r\n"
      "        <member>lfnMatch</member>\r\n"
      "        <lineNumber/>\r\n"
      "        <count>1</count>\r\n"
      "    </error>\r\n";
  const std::string head = "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n<Errors>\r\n";
  EXPECT_EQ(testing::read_file(h.errors_file()), head + first);

  // The value that fails its check comes first in the trace line.
  const std::string log = testing::read_file(h.detail_log());
  EXPECT_NE(log.find("modVBTrace.bfnGoodDataType:  is not numeric.\r\n"), std::string::npos);
  EXPECT_NE(log.find("modVBTrace.CompleteNode:  is not a legal value for: errorNumber\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("modVBTrace.CompleteNode: abc is not a legal value for: lineNumber\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("modVBTrace.AppendErrorNode: From proc: Corvane.clsStringList.lfnMatch "
                     "(linenum: abc)... Before writing the following description: a &lt; b"),
            std::string::npos);

  h.clock.now.hour = 19;
  AppendErrorNode(2, OLESTR("again"), true, OLESTR(" 91"), OLESTR("12"), OLESTR("Unknown"));
  const std::string file = testing::read_file(h.errors_file());
  ASSERT_EQ(file.substr(0, head.size() + first.size()), head + first);
  EXPECT_EQ(file.substr(head.size() + first.size()),
            "    <error>\r\n"
            "        <firstOccurrence>02/01/2026 19:05:03</firstOccurrence>\r\n"
            "        <severity>2</severity>\r\n"
            "        <displayedToUser>Y</displayedToUser>\r\n"
            "        <errorNumber> 91</errorNumber>\r\n"
            "        <errorDescription>again</errorDescription>\r\n"
            "        <component>" +
                component() +
                "</component>\r\n"
                "        <module>*</module>\r\n"
                "        <member>Unknown</member>\r\n"
                "        <lineNumber>12</lineNumber>\r\n"
                "        <count>1</count>\r\n"
                "    </error>\r\n");
  EXPECT_EQ(testing::count_of(file, "\r\n"), 26u);
  EXPECT_EQ(file.find("</Errors>"), std::string::npos);
}

TEST(ErrorTable, WhereTheFileLives) {
  TraceHarness h;
  h.init(2);
  fs::create_directories(h.folder.path() / "Logs");
  module_values().log_folder = testing::ole_path(h.folder.path()) + OLESTR("\\Logs");
  OleString name = OLESTR("C:\\Data\\Logs\\Trace1.log");
  EXPECT_EQ(GetErrorLogFullPath(name),
            testing::ole_path(h.folder.path()) + OLESTR("\\Errors\\Trace1Errors.log"));
  EXPECT_EQ(name, OLESTR("Trace1.log"));  // the caller's name is cut to the file name
  EXPECT_TRUE(fs::is_directory(h.folder.path() / "Errors"));
  // Fixed for the apartment: a later log folder does not move it.
  module_values().log_folder = OLESTR("C:\\Elsewhere\\Logs");
  name = OLESTR("TRACE.LOG");  // the replacement is case-sensitive
  EXPECT_EQ(GetErrorLogFullPath(name),
            testing::ole_path(h.folder.path()) + OLESTR("\\Errors\\TRACE.LOG"));

  TraceHarness every;
  every.init(2);
  module_values().log_folder = OLESTR("Q:\\Logs\\Sub\\Logs");  // cannot be created: ignored
  name = OLESTR("a.log.log");
  EXPECT_EQ(GetErrorLogFullPath(name), OLESTR("Q:\\Errors\\Sub\\Errors\\aErrors.logErrors.log"));
}

TEST(ErrorTable, TheErrorsFileIsNeverTheDetailLog) {
  TraceHarness h;
  h.init(2);
  // No "\Logs" in the folder and no ".log" in the name: the rule would name
  // the detail log itself.
  module_values().detail_log_path = testing::ole_path(h.folder.path()) + OLESTR("\\trace");
  AppendErrorNode(2, OLESTR("kept apart"), false, OLESTR("5"), OLESTR("1"), OLESTR("m.r"));
  const std::string detail = testing::read_file(module_values().detail_log_path);
  EXPECT_EQ(detail.find("<error>"), std::string::npos);
  EXPECT_NE(testing::read_file(testing::ole_path(h.folder.path() / "traceErrors.log"))
                .find("<errorDescription>kept apart</errorDescription>"),
            std::string::npos);
  // The same when the folder ends in a separator or the log's name takes a
  // detour: other spellings of the same file.
  const OleString folder = testing::ole_path(h.folder.path());
  for (const OleString& spelling :
       {folder + OLESTR("\\"), folder + OLESTR("\\.\\"), folder + OLESTR("\\sub\\..\\")}) {
    module_values().log_folder = spelling;
    module_values().errors_folder.reset();
    module_values().detail_log_path = folder + OLESTR("\trace");
    AppendErrorNode(2, OLESTR("still apart"), false, OLESTR("5"), OLESTR("1"), OLESTR("m.r"));
    EXPECT_EQ(testing::read_file(module_values().detail_log_path).find("<error>"),
              std::string::npos)
        << testing::narrow(spelling);
  }
  module_values().log_folder = folder;
  module_values().errors_folder.reset();

  // Without a detail log the records go to PossibleErrorsErrors.log.
  module_values().detail_log_path.clear();
  AppendErrorNode(2, OLESTR("no log"), false, OLESTR("5"), OLESTR("1"), OLESTR("m.r"));
  EXPECT_NE(testing::read_file(testing::ole_path(h.folder.path() / "PossibleErrorsErrors.log"))
                .find("<errorDescription>no log</errorDescription>"),
            std::string::npos);
}

TEST(ErrorTable, WithoutALogFolderNothingIsTouched) {
  TraceHarness h;
  h.init(4);
  module_values().log_folder.clear();
  AppendErrorNode(2, OLESTR("lost"), false, OLESTR("5"), OLESTR("1"), OLESTR("m.r"));
  EXPECT_EQ(h.detail_lines(),
            (std::vector<std::string>{
                "02-01-26 09:05:03.007\tCorvane\tmodVBTrace.AppendErrorNode: Entering sub.",
                "02-01-26 09:05:03.007\tCorvane\tmodVBTrace.AppendErrorNode: Exiting because no "
                "global log file path.  Original error: lost"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(h.folder.path()), fs::directory_iterator()), 1);
}

TEST(ErrorTable, SourceLabels) {
  TraceHarness h;
  const std::tuple<const OLECHAR*, const char*, const char*> cases[] = {
      {OLESTR("modVBTrace.GlobalTrace"), "modVBTrace", "GlobalTrace"},
      {OLESTR("A.B.C"), "B", "C"},
      {OLESTR("Corvane.clsStringList.lfnMatch"), "clsStringList", "lfnMatch"},
      {OLESTR("in Corvane.clsStringList.lfnMatch."), "lfnMatch", ""},
      {OLESTR("Unknown"), "*", "Unknown"},
      {OLESTR(".x"), "", "x"},
      {OLESTR("a. b . c "), " b ", "c"},
      {OLESTR(""), "", ""},
      {OLESTR("   "), "", ""},
  };
  for (const auto& [label, module, member] : cases) {
    OleString m = OLESTR("old"), r = OLESTR("old");
    ParseErrorSource(label, m, r);
    EXPECT_EQ(testing::narrow(m), module) << testing::narrow(label);
    EXPECT_EQ(testing::narrow(r), member) << testing::narrow(label);
  }
}

TEST(ErrorTable, TypeChecks) {
  TraceHarness h;
  h.init(2);
  EXPECT_TRUE(bfnGoodDataType(OLESTR(""), 0));
  EXPECT_TRUE(bfnGoodDataType(OLESTR("-12"), 1));
  EXPECT_FALSE(bfnGoodDataType(OLESTR(""), 1));
  EXPECT_TRUE(bfnGoodDataType(OLESTR("12/04/2026 19:11:00"), 2));
  EXPECT_FALSE(bfnGoodDataType(OLESTR("12/04/2026 25:11:00"), 2));
  EXPECT_FALSE(bfnGoodDataType(OLESTR(""), 2));
  EXPECT_TRUE(h.detail_lines().empty());  // the reasons are traced at level 4 only
  EXPECT_TRUE(bfnGoodDataType(OLESTR("x"), 7));
  EXPECT_NE(testing::read_file(h.detail_log())
                .find("GlobalErrorsLog >>> modVBTrace.bfnGoodDataType\tUnexpected data type: 7"),
            std::string::npos);
  EXPECT_EQ(CompleteNode(OLESTR("n"), OLESTR("v"), 0, 0), OLESTR("<n>v</n>"));
  EXPECT_EQ(CompleteNode(OLESTR("n"), OLESTR(""), 1, 0), OLESTR("    <n/>"));
  EXPECT_EQ(NodeEnd(OLESTR("Errors"), 0), OLESTR("</Errors>"));
}

// A file that cannot be opened: the trace line and the warning box; the
// record is lost and the caller goes on.
TEST(ErrorTable, AnUnwritableFileShowsTheWarning) {
  TraceHarness h;
  h.init(2);
  module_values().log_folder = testing::ole_path(h.folder.path()) + OLESTR("\\missing\\Logs");
  AppendErrorNode(2, OLESTR("lost"), false, OLESTR("5"), OLESTR("1"), OLESTR("m.r"));
  const std::string detail =
      "Unable to log to Quillon MT Error Table.  Error 76: Path not found\r\n"
      "in Corvane.modVBTrace.WriteErrorNode.\r\nThe error occured at line: ";
  EXPECT_NE(testing::read_file(h.detail_log()).find("modVBTrace.WriteErrorNode: " + detail),
            std::string::npos);
  ASSERT_EQ(h.boxes.boxes.size(), 1u);
  EXPECT_EQ(h.boxes.boxes[0].title, "Quillon MT Warning");
  EXPECT_EQ(h.boxes.boxes[0].style, 4096);
  EXPECT_EQ(h.boxes.boxes[0].text.rfind(
                "Quillon MT has encountered an unexpected error.  You may continue to work.  If "
                "you continue to have problems  with Quillon, please contact your IT Support "
                "Staff for assistance.  The details of the error are shown below: \r\n\r\n" +
                    detail,
                0),
            0u);
  EXPECT_FALSE(fs::exists(h.folder.path() / "missing"));
}

// Files that keep the first writer asking whether an errors file exists
// waiting until a second one asks too (or half a second has passed): two
// writers that could both find the file missing are made to.
class MeetingFiles final : public platform::Files {
 public:
  bool exists(OleStringView path, bool directories) override {
    if (path.size() >= 10 && path.substr(path.size() - 10) == OLESTR("Errors.log")) {
      std::unique_lock<std::mutex> lock(mutex_);
      ++askers_;
      met_.notify_all();
      met_.wait_for(lock, std::chrono::milliseconds(500), [&] { return askers_ >= 2; });
    }
    return system().exists(path, directories);
  }
  platform::FileHandle open_append(OleStringView path, std::int32_t* error) override {
    return system().open_append(path, error);
  }
  void write(platform::FileHandle file, std::string_view bytes) override {
    system().write(file, bytes);
  }
  void close(platform::FileHandle file) override { system().close(file); }
  bool create_directory(OleStringView path) override { return system().create_directory(path); }
  bool remove_file(OleStringView path) override { return system().remove_file(path); }
  void clear_attributes(OleStringView path) override { system().clear_attributes(path); }
  std::optional<std::string> read_all(OleStringView path) override {
    return system().read_all(path);
  }

 private:
  std::mutex mutex_;
  std::condition_variable met_;
  int askers_ = 0;
};

// Two writers of a new errors file, each in its own thread: the heading is
// written once, at the top, and both records follow it whole.
TEST(ErrorTable, TwoWritersOfANewFileWriteItsHeadingOnce) {
  TraceHarness h;
  struct Silent final : platform::DebugOutput {
    void write(std::string_view) override {}
  } silent;  // the harness's recorder is not for two threads
  const platform::DebugOutput::Override quiet(silent);
  MeetingFiles files;
  const platform::Files::Override meet(files);
  auto writer = [&](const OLECHAR* description) {
    h.init(2);
    OleString detail_log_name = h.detail_log();
    WriteErrorNode(detail_log_name, OLESTR("02/01/2026 09:05:03"), OLESTR("2"), false, OLESTR("5"),
                   description, OLESTR("Corvane"), OLESTR("m"), OLESTR("r"), OLESTR("1"));
    module_values() = ModuleValues{};
  };
  std::thread second(writer, OLESTR("second"));
  writer(OLESTR("first"));
  second.join();
  const std::vector<std::string> lines = testing::read_lines(h.errors_file());
  ASSERT_EQ(lines.size(), 2u + 2u * 12u);
  EXPECT_EQ(lines[0], "<?xml version=\"1.0\" standalone=\"yes\" ?>");
  EXPECT_EQ(lines[1], "<Errors>");
  for (std::size_t record = 0; record < 2; ++record) {
    EXPECT_EQ(lines[2 + record * 12], "    <error>");
    EXPECT_EQ(lines[2 + record * 12 + 11], "    </error>");
  }
  const std::set<std::string> descriptions{lines[2 + 5], lines[2 + 12 + 5]};
  EXPECT_EQ(descriptions,
            (std::set<std::string>{"        <errorDescription>first</errorDescription>",
                                   "        <errorDescription>second</errorDescription>"}));
}

// Under hang-dump diagnosis each report asks for a dump: of the debugger
// object, or of the hang dumper program while no event may be raised.
class HangDumps : public ::testing::Test {
 protected:
  HangDumps() : use_(debugger) {
    h.init(2);
    h.side_files_here();
    std::ofstream(h.folder.path() / "DebugInfo.flg") << "";
    std::ofstream(h.folder.path() / "DebugInfo.ini")
        << "[DebugInfo]\r\nErrorsToDiagnose=Corvane\r\n";
    fs::remove(answer_file_);
  }
  ~HangDumps() override { fs::remove(answer_file_); }
  void answer(int value) { std::ofstream(answer_file_) << value; }
  std::string log() const { return testing::read_file(h.detail_log()); }

  TraceHarness h;
  testing::FakeDebugger debugger;

 private:
  platform::AutomationObjects::Override use_;
  fs::path answer_file_ = own_folder() / "CanRaiseEvent.answer";
};

TEST_F(HangDumps, TheDebuggerObjectIsAskedAfterTheRecord) {
  answer(1);
  AppendErrorNode(2, OLESTR("hung"), false, OLESTR(" 91 "), OLESTR("3"), OLESTR("m.r"));
  ASSERT_EQ(debugger.calls.size(), 3u);
  EXPECT_EQ(debugger.calls[2], "42 DoHangDumpIfNecessary & 91  &m.r");
  EXPECT_NE(log().find("modVBTrace.AppendErrorNode: Calling DoHangDumpIfNecessary.  sErrNum =  91 "
                       ". sRoutine = m.r\r\n"),
            std::string::npos);
  EXPECT_NE(log().find("After calling DoHangDumpIfNecessary.  err.Number = 0\r\n"),
            std::string::npos);
  EXPECT_NE(testing::read_file(h.errors_file()).find("hung"), std::string::npos);

  // A failing call leaves through the routine's trap, which writes its time
  // with colons whatever the user's separator, and skips the crash-flag
  // check: this process goes on although the flag is there.
  debugger.failing = "DoHangDumpIfNecessary";
  h.clock.separator = ".";
  std::ofstream(h.folder.path() / "Crash.flg") << "";
  AppendErrorNode(2, OLESTR("again"), false, OLESTR("91"), OLESTR("3"), OLESTR("m.r"));
  fs::remove(h.folder.path() / "Crash.flg");
  const std::string possible =
      testing::read_file(testing::ole_path(h.folder.path() / "PossibleErrors.log"));
  EXPECT_NE(possible.find("09:05:03\tmodVBTrace.AppendErrorNode\r\nError 91\r\n"
                          "Object variable or With block variable not set\r\nAt line "),
            std::string::npos)
      << possible;
  EXPECT_TRUE(h.boxes.boxes.empty());  // no crash box either
}

TEST_F(HangDumps, TheHangDumperRunsWhileNoEventMayBeRaised) {
  answer(0);
  const char* exe = fs::exists(own_folder() / "corvane_test_child.exe") ? ".exe" : "";
  fs::copy_file(own_folder() / (std::string("corvane_test_child") + exe),
                h.folder.path() / "QLMTHangDumper.exe");
  AppendErrorNode(2, OLESTR("hung"), false, OLESTR("91"), OLESTR("3"), OLESTR(" m.r "));
  EXPECT_EQ(testing::read_file(testing::ole_path(h.folder.path() / "QLMTHangDumper.exe.ran")),
            "Routine=m.r ErrNumToCheck=91\n");
  EXPECT_NE(log().find("Shelling to QLMTHangDumper.  sErrNum = 91. sRoutine =  m.r \r\n"),
            std::string::npos);
  EXPECT_NE(log().find("After shelling to QLMTHangDumper\r\n"), std::string::npos);
  EXPECT_EQ(debugger.calls.size(), 2u);  // created and initialised, not asked
}

TEST_F(HangDumps, AMissingModalLibraryIsLoggedOnceAndTheDebuggerAsked) {
  const fs::path library = own_folder() / "rodevuzudov.dll";
  const fs::path away = own_folder() / "rodevuzudov.away";
  fs::rename(library, away);
  AppendErrorNode(2, OLESTR("hung"), false, OLESTR("91"), OLESTR("3"), OLESTR("m.r"));
  fs::rename(away, library);
  EXPECT_EQ(testing::count_of(log(),
                              "GlobalErrorsLog >>> modVBTrace.InModalState\tError 53: File not "
                              "found\r\nin Corvane.modVBTrace.InModalState.\r\n"),
            1u);
  EXPECT_EQ(debugger.calls.size(), 3u);  // not in modal state: the debugger was asked
  EXPECT_EQ(testing::count_of(testing::read_file(h.errors_file()), "<error>"), 2u);
}

}  // namespace
}  // namespace corvane::modVBTrace
