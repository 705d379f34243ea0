// The XML error table: the errors file's bytes, where it lives, the source
// labels, the hang-dump hook, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/log_capture.h"
#include "trace/module_values.h"
#include "trace/xml_error_log.h"

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;
using testing::error_record;
using testing::ErrorRecord;
using testing::TraceHarness;

const std::string kHeading = "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n<Errors>\r\n";

void report(const OLECHAR* description, std::optional<OleStringView> log = {}) {
  AppendErrorNode(2, description, false, OLESTR("5"), OLESTR("1"), OLESTR("m.r"), log);
}

std::string reported(const std::string& description, const std::string& component = "") {
  return error_record({"02/01/2026 09:05:03", "2", "N", "5", description,
                       component.empty() ? ErrorRecord::own_component() : component, "m", "r",
                       "1"});
}

// The one place the file's heading and a whole record are pinned.
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
      ErrorRecord::own_component() +
      "</component>\r\n"
      "        <module>clsStringList</module>\r\n"
      "        <member>lfnMatch</member>\r\n"
      "        <lineNumber/>\r\n"
      "        <count>1</count>\r\n"
      "    </error>\r\n";
  EXPECT_EQ(testing::read_file(h.errors_file()), kHeading + first);
  // At level 4 the value that fails its check comes first in the trace line.
  EXPECT_TRUE(h.traced("modVBTrace.CompleteNode", "abc is not a legal value for: lineNumber"));
  EXPECT_TRUE(h.traced("modVBTrace.AppendErrorNode",
                       "From proc: Corvane.clsStringList.lfnMatch (linenum: abc)... After writing "
                       "the following description: a &lt; b &amp; c\tnext &quot;q&quot; "
                       "&apos;a&apos; &gt;\rlone"));

  h.clock.now.hour = 19;
  AppendErrorNode(2, OLESTR("again"), true, OLESTR(" 91"), OLESTR("12"), OLESTR("Unknown"));
  EXPECT_EQ(testing::read_file(h.errors_file()),
            kHeading + first +
                error_record({"02/01/2026 19:05:03", "2", "Y", " 91", "again",
                              ErrorRecord::own_component(), "*", "Unknown", "12"}));
}

TEST(ErrorTable, TheErrorsFilesName) {
  TraceHarness h;
  h.init(2);
  module_values().log_folder = OLESTR("Q:\\Logs\\Sub\\Logs");  // cannot be created: ignored
  OleString name = OLESTR("C:\\Data\\Logs\\a.log.log");
  EXPECT_EQ(GetErrorLogFullPath(name), OLESTR("Q:\\Errors\\Sub\\Errors\\aErrors.logErrors.log"));
  EXPECT_EQ(name, OLESTR("a.log.log"));  // the caller's name is cut to the file name
  // Fixed for the apartment: a later log folder does not move it.
  module_values().log_folder = OLESTR("C:\\Elsewhere\\Logs");
  name = OLESTR("TRACE.LOG");  // the replacement is case-sensitive
  EXPECT_EQ(GetErrorLogFullPath(name), OLESTR("Q:\\Errors\\Sub\\Errors\\TRACE.LOG"));
}

// Where a record lands: in the log folder with "\Logs" as "\Errors", named
// after the detail log (or the one the caller names) with ".log" as
// "Errors.log"; never in the detail log itself, however its folder is spelt.
TEST(ErrorTable, WhereTheRecordLands) {
  // clang-format off
  const std::tuple<const char*, const char*, const OLECHAR*, const char*> rows[] = {
      {"\\Logs", "\\Logs\\Trace1.log", nullptr, "Errors/Trace1Errors.log"},
      {"", "\\trace", nullptr, "traceErrors.log"},
      {"\\", "\\trace", nullptr, "traceErrors.log"},
      {"\\.\\", "\\trace", nullptr, "traceErrors.log"},
      {"\\sub\\..\\", "\\trace", nullptr, "traceErrors.log"},
      {"", "", nullptr, "PossibleErrorsErrors.log"},
      {"", "\\trace.log", OLESTR("C:\\Other\\other.log"), "otherErrors.log"}};
  // clang-format on
  for (const auto& [folder, detail, named, file] : rows) {
    TraceHarness h;
    h.init(2);
    fs::create_directories(h.folder.path() / "Logs");
    fs::create_directories(h.folder.path() / "sub");
    const OleString here = testing::ole_path(h.folder.path());
    module_values().log_folder = here + testing::wide(folder);
    module_values().detail_log_path = *detail ? here + testing::wide(detail) : OleString();
    report(OLESTR("r"), named ? std::optional<OleStringView>(named) : std::nullopt);
    EXPECT_EQ(testing::read_bytes(h.folder.path() / file), kHeading + reported("r"))
        << folder << " " << detail;
  }
}

TEST(ErrorTable, SourceLabels) {
  TraceHarness h;
  // clang-format off
  const std::tuple<const OLECHAR*, const char*> rows[] = {
      {OLESTR("modVBTrace.GlobalTrace"), "modVBTrace|GlobalTrace"}, {OLESTR("A.B.C"), "B|C"},
      {OLESTR("in Corvane.clsStringList.lfnMatch."), "lfnMatch|"}, {OLESTR("Unknown"), "*|Unknown"},
      {OLESTR(".x"), "|x"}, {OLESTR("a. b . c "), " b |c"}, {OLESTR("   "), "|"}};
  // clang-format on
  for (const auto& [label, expected] : rows) {
    OleString m = OLESTR("old"), r = OLESTR("old");
    ParseErrorSource(label, m, r);
    EXPECT_EQ(testing::narrow(m) + "|" + testing::narrow(r), expected) << testing::narrow(label);
  }
}

// Without a log folder nothing is touched. A file that cannot be opened: the
// trace line and the warning box; the record is lost and the caller goes on.
TEST(ErrorTable, WithoutAFileTheRecordIsLost) {
  TraceHarness h;
  h.init(2);
  module_values().log_folder.clear();
  report(OLESTR("lost"));
  EXPECT_TRUE(h.traced("modVBTrace.AppendErrorNode",
                       "Exiting because no global log file path.  Original error: lost"));
  EXPECT_EQ(std::distance(fs::directory_iterator(h.folder.path()), fs::directory_iterator()), 1);
  EXPECT_TRUE(h.boxes.boxes.empty());

  module_values().log_folder = testing::ole_path(h.folder.path()) + OLESTR("\\missing\\Logs");
  report(OLESTR("lost"));
  const std::string detail =
      "Unable to log to Quillon MT Error Table.  Error 76: Path not found\r\n"
      "in Corvane.modVBTrace.WriteErrorNode.\r\nThe error occured at line: N";
  EXPECT_TRUE(h.traced_masked("modVBTrace.WriteErrorNode", detail));
  EXPECT_EQ(testing::mask_lines(h.boxes.last().title + "|" + std::to_string(h.boxes.last().style) +
                                "|" + h.boxes.last().text),
            "Quillon MT Warning|4096|Quillon MT has encountered an unexpected error.  You may "
            "continue to work.  If you continue to have problems  with Quillon, please contact "
            "your IT Support Staff for assistance.  The details of the error are shown below: "
            "\r\n\r\n" +
                detail);
  EXPECT_FALSE(fs::exists(h.folder.path() / "missing"));
}

// Files that keep the first writer that asked whether an errors file exists
// waiting with its answer until a second one has its answer too (or half a
// second has passed): two writers that could both find the file missing are
// made to.
class MeetingFiles final : public testing::PassThroughFiles {
 public:
  std::optional<unsigned> attributes(OleStringView path) override {
    const std::optional<unsigned> found = PassThroughFiles::attributes(path);
    if (path.ends_with(OLESTR("Errors.log"))) {
      ++askers;
      for (int i = 0; i < 500 && askers < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return found;
  }
  std::atomic<int> askers{0};
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
  const std::string file = testing::read_file(h.errors_file());
  const std::string first = reported("first", "Corvane"), other = reported("second", "Corvane");
  EXPECT_TRUE(file == kHeading + first + other || file == kHeading + other + first) << file;
}

// Under hang-dump diagnosis each report asks for a dump: of the debugger
// object, or of the hang dumper program while no event may be raised.
TEST(ErrorTable, HangDumpRequests) {
  TraceHarness h;
  h.init(2);
  h.side_files_here();
  testing::FakeDebugger debugger;
  const platform::AutomationObjects::Override use(debugger);
  std::ofstream(h.folder.path() / "DebugInfo.flg") << "";
  std::ofstream(h.folder.path() / "DebugInfo.ini") << "[DebugInfo]\r\nErrorsToDiagnose=Corvane\r\n";
  const fs::path answer = testing::helper_program("CanRaiseEvent.answer");
  std::ofstream(answer) << 1;
  AppendErrorNode(2, OLESTR("hung"), false, OLESTR(" 91 "), OLESTR("3"), OLESTR("m.r"));
  EXPECT_EQ(debugger.calls.back(), "42 DoHangDumpIfNecessary & 91  &m.r");
  EXPECT_TRUE(h.traced("modVBTrace.AppendErrorNode",
                       "Calling DoHangDumpIfNecessary.  sErrNum =  91 . sRoutine = m.r"));

  std::ofstream(answer) << 0;
  fs::copy_file(testing::helper_program("corvane_test_child"),
                h.folder.path() / "QLMTHangDumper.exe");
  AppendErrorNode(2, OLESTR("hung"), false, OLESTR("91"), OLESTR("3"), OLESTR(" m.r "));
  fs::remove(answer);
  EXPECT_EQ(testing::read_file(h.folder.file("QLMTHangDumper.exe.ran")),
            "Routine=m.r ErrNumToCheck=91\n");
  EXPECT_TRUE(h.traced("modVBTrace.AppendErrorNode",
                       "Shelling to QLMTHangDumper.  sErrNum = 91. sRoutine =  m.r "));
  EXPECT_EQ(debugger.calls.size(), 3u);  // the debugger was not asked

  // Without the modal-state library its failure is logged once (its report
  // asks for no dump of its own) and the debugger is asked.
  const fs::path library = testing::helper_program("rodevuzudov.dll");
  fs::rename(library, testing::helper_program("rodevuzudov.away"));
  AppendErrorNode(2, OLESTR("hung"), false, OLESTR("91"), OLESTR("3"), OLESTR("m.r"));
  fs::rename(testing::helper_program("rodevuzudov.away"), library);
  EXPECT_EQ(testing::count_of(testing::read_file(h.detail_log()),
                              "GlobalErrorsLog >>> modVBTrace.InModalState\tError 53: File not "
                              "found\r\nin Corvane.modVBTrace.InModalState.\r\n"),
            1u);
  EXPECT_EQ(debugger.calls.size(), 4u);
  EXPECT_EQ(h.error_records().size(), 4u);

  // A failing call leaves through the routine's trap, which writes its time
  // with colons whatever the user's separator, and skips the crash-flag
  // check: this process goes on although the flag is there.
  debugger.failing = "DoHangDumpIfNecessary";
  h.clock.separator = ".";
  std::ofstream(h.folder.path() / "Crash.flg") << "";
  AppendErrorNode(2, OLESTR("again"), false, OLESTR("91"), OLESTR("3"), OLESTR("m.r"));
  EXPECT_EQ(testing::mask_lines(testing::read_file(h.folder.file("PossibleErrors.log"))),
            "09:05:03\tmodVBTrace.AppendErrorNode\r\nError 91\r\n"
            "Object variable or With block variable not set\r\nAt line N\r\n");
  EXPECT_TRUE(h.boxes.boxes.empty());  // no crash box either
}

}  // namespace
}  // namespace corvane::modVBTrace
