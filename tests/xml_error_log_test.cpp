// The XML error table: the errors file's bytes, where it lives, the source
// labels, the hang-dump hook, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "support/log_capture.h"
#include "trace/xml_error_log.h"

namespace corvane::modVBTrace {
namespace {

using namespace testing;

void report(const OLECHAR* description, std::optional<OleStringView> log = {}) {
  AppendErrorNode(2, description, false, OLESTR("5"), OLESTR("1"), OLESTR("m.r"), log);
}

std::string reported(const std::string& description,
                     const std::string& component = ErrorRecord::own_component()) {
  // clang-format off
  return error_record({.errorNumber = "5", .errorDescription = description, .component = component,
                       .module = "m", .member = "r", .lineNumber = "1"});
  // clang-format on
}

// The one place the file's heading and a whole record are pinned.
TEST(ErrorTable, TheFirstRecordCreatesTheFileAndLaterOnesAppend) {
  TraceHarness h(4);
  AppendErrorNode(3, OLESTR("a < b & c\r\nnext \"q\" 'a' >\rlone"), false, OLESTR(""),
                  OLESTR("abc"), OLESTR("Corvane.clsStringList.lfnMatch"));
  const std::string first =
      "    <error>\r\n        <firstOccurrence>02/01/2026 09:05:03</firstOccurrence>\r\n"
      "        <severity>3</severity>\r\n        <displayedToUser>N</displayedToUser>\r\n"
      "        <errorNumber/>\r\n        <errorDescription>a &lt; b &amp; c\tnext &quot;q&quot; "
      "&apos;a&apos; &gt;\rlone</errorDescription>\r\n        <component>" +
      ErrorRecord::own_component() +
      "</component>\r\n        <module>clsStringList</module>\r\n"
      "        <member>lfnMatch</member>\r\n        <lineNumber/>\r\n        <count>1</count>\r\n"
      "    </error>\r\n";
  EXPECT_EQ(read_file(h.errors_file()), kErrorsHeading + first);
  // At level 4 the value that fails its check comes first in the trace line.
  EXPECT_TRUE(h.traced("modVBTrace.CompleteNode", "abc is not a legal value for: lineNumber"));
  EXPECT_TRUE(h.traced("modVBTrace.AppendErrorNode",
                       "From proc: Corvane.clsStringList.lfnMatch (linenum: abc)... After writing "
                       "the following description: a &lt; b &amp; c\tnext &quot;q&quot; "
                       "&apos;a&apos; &gt;\rlone"));

  h.clock.now.hour = 19;
  AppendErrorNode(2, OLESTR("again"), true, OLESTR(" 91"), OLESTR("12"), OLESTR("Unknown"));
  EXPECT_EQ(read_file(h.errors_file()),
            kErrorsHeading + first +
                error_record({"02/01/2026 19:05:03", "2", "Y", " 91", "again",
                              ErrorRecord::own_component(), "*", "Unknown", "12"}));
}

// Where a record lands: in the log folder with every "\Logs" as "\Errors",
// named after the detail log (or the one the caller names) with every ".log"
// as "Errors.log"; never in the detail log itself, however its folder is
// spelt.
TEST(ErrorTable, WhereTheRecordLands) {
  // clang-format off
  const std::tuple<const char*, const char*, const OLECHAR*, const char*> rows[] = {
      {"\\Logs\\Sub\\Logs", "\\a.log.log", nullptr, "Errors/Sub/Errors/aErrors.logErrors.log"},
      {"", "\\trace", nullptr, "traceErrors.log"}, {"\\", "\\trace", nullptr, "traceErrors.log"},
      {"\\.\\", "\\trace", nullptr, "traceErrors.log"},
      {"\\sub\\..\\", "\\trace", nullptr, "traceErrors.log"},
      {"", "", nullptr, "PossibleErrorsErrors.log"},
      {"", "\\trace.log", OLESTR("C:\\Other\\other.log"), "otherErrors.log"}};
  // clang-format on
  for (const auto& [folder, detail, named, file] : rows) {
    TraceHarness h(2);
    for (const char* sub : {"Errors/Sub", "sub"}) fs::create_directories(h.folder.path() / sub);
    const OleString here = ole_path(h.folder.path());
    module_values().log_folder = here + wide(folder);
    module_values().detail_log_path = *detail ? here + wide(detail) : OleString();
    report(OLESTR("r"), named ? std::optional<OleStringView>(named) : std::nullopt);
    EXPECT_EQ(read_bytes(h.folder.path() / file), kErrorsHeading + reported("r"))
        << folder << detail;
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
    EXPECT_EQ(narrow(m) + "|" + narrow(r), expected) << narrow(label);
  }
}

// Without a log folder nothing is touched. A file that cannot be opened: the
// trace line and the warning box; the record is lost and the caller goes on.
TEST(ErrorTable, WithoutAFileTheRecordIsLost) {
  TraceHarness h(2);
  module_values().log_folder.clear();
  report(OLESTR("lost"));
  EXPECT_TRUE(h.traced("modVBTrace.AppendErrorNode",
                       "Exiting because no global log file path.  Original error: lost"));
  EXPECT_EQ(std::distance(fs::directory_iterator(h.folder.path()), fs::directory_iterator()), 1);
  EXPECT_TRUE(h.boxes.boxes.empty());

  module_values().log_folder = ole_path(h.folder.path()) + OLESTR("\\missing\\Logs");
  report(OLESTR("lost"));
  const std::string detail = "Unable to log to Quillon MT Error Table.  " +
                             trap_message(76, "Path not found", "modVBTrace.WriteErrorNode");
  EXPECT_TRUE(h.traced_masked("modVBTrace.WriteErrorNode", detail));
  const auto& box = h.boxes.last();
  EXPECT_EQ(mask_lines(box.title + "|" + std::to_string(box.style) + "|" + box.text),
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
struct MeetingFiles final : PassThroughFiles {
  std::optional<unsigned> attributes(OleStringView path) override {
    const std::optional<unsigned> found = PassThroughFiles::attributes(path);
    if (path.ends_with(OLESTR("Errors.log")) && ++askers < 2)
      for (int i = 0; i < 500 && askers < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return found;
  }
  std::atomic<int> askers{0};
};

// Two writers of a new errors file, each in its own thread: the heading is
// written once, at the top, and both records follow it whole.
TEST(ErrorTable, TwoWritersOfANewFileWriteItsHeadingOnce) {
  TraceHarness h;
  MeetingFiles files;
  const platform::Files::Override meet(files);
  auto writer = [&](const OLECHAR* description) {
    h.init(1);  // no trace lines: the harness's recorder is not for two threads
    OleString detail_log_name = h.detail_log();
    WriteErrorNode(detail_log_name, OLESTR("02/01/2026 09:05:03"), OLESTR("2"), false, OLESTR("5"),
                   description, OLESTR("Corvane"), OLESTR("m"), OLESTR("r"), OLESTR("1"));
    module_values() = ModuleValues{};
  };
  std::thread second(writer, OLESTR("second"));
  writer(OLESTR("first"));
  second.join();
  const std::string file = read_file(h.errors_file());
  const std::string first = reported("first", "Corvane"), other = reported("second", "Corvane");
  EXPECT_TRUE(file == kErrorsHeading + first + other || file == kErrorsHeading + other + first)
      << file;
}

// Under hang-dump diagnosis each report asks for a dump: of the debugger
// object, or of the hang dumper program while no event may be raised. Whether
// one may is asked of the stand-in "rodevuzudov.dll" beside this program,
// which answers what "CanRaiseEvent.answer" says.
TEST(ErrorTable, HangDumpRequests) {
  TraceHarness h(2, true);
  FakeDebugger debugger;
  const platform::AutomationObjects::Override use(debugger);
  h.folder.put("DebugInfo.flg");
  h.folder.put("DebugInfo.ini", "[DebugInfo]\r\nErrorsToDiagnose=Corvane\r\n");
  const fs::path answer = helper_program("CanRaiseEvent.answer");
  const fs::path calls = helper_program("CanRaiseEvent.calls");
  fs::remove(calls);
  std::ofstream(answer) << 1;
  AppendErrorNode(2, OLESTR("hung"), false, OLESTR(" 91 "), OLESTR("3"), OLESTR("m.r"));
  EXPECT_EQ(debugger.calls.back(), "42 DoHangDumpIfNecessary & 91  &m.r");

  std::ofstream(answer) << 0;
  fs::copy_file(helper_program("corvane_test_child"), h.folder.path() / "QLMTHangDumper.exe");
  AppendErrorNode(2, OLESTR("hung"), false, OLESTR("91"), OLESTR("3"), OLESTR(" m.r "));
  fs::remove(answer);
  EXPECT_EQ(read_file(h.folder.file("QLMTHangDumper.exe.ran")), "Routine=m.r ErrNumToCheck=91\n");
  EXPECT_EQ(debugger.calls.size(), 3u);  // the debugger was not asked
  EXPECT_EQ(read_bytes(calls), "0\n0\n");

  // Without the modal-state library its failure is logged once (its report
  // asks for no dump of its own) and the debugger is asked.
  const fs::path library = helper_program("rodevuzudov.dll");
  fs::rename(library, helper_program("rodevuzudov.away"));
  AppendErrorNode(2, OLESTR("hung"), false, OLESTR("91"), OLESTR("3"), OLESTR("m.r"));
  fs::rename(helper_program("rodevuzudov.away"), library);
  EXPECT_TRUE(h.errors_logged("modVBTrace.InModalState",
                              trap_message(53, "File not found", "modVBTrace.InModalState")));
  EXPECT_EQ(debugger.calls.size(), 4u);
  EXPECT_EQ(h.error_records().size(), 4u);

  // A failing call leaves through the routine's trap, which writes its time
  // with colons whatever the user's separator, and skips the crash-flag
  // check: this process goes on although the flag is there.
  debugger.failing = "DoHangDumpIfNecessary";
  h.clock.separator = ".";
  h.folder.put("Crash.flg");
  AppendErrorNode(2, OLESTR("again"), false, OLESTR("91"), OLESTR("3"), OLESTR("m.r"));
  EXPECT_EQ(h.masked("PossibleErrors.log"),
            "09:05:03\tmodVBTrace.AppendErrorNode\r\nError 91\r\n"
            "Object variable or With block variable not set\r\nAt line N\r\n");
  EXPECT_TRUE(h.boxes.boxes.empty());  // no crash box either
}

}  // namespace
}  // namespace corvane::modVBTrace
