// The detail log: what a trace line looks like in the file and the debugger
// output, which lines the trace level lets through, and what happens when
// the file cannot be opened or written.
#include <gtest/gtest.h>

#include "automation/error.h"
#include "platform/file_numbers.h"
#include "support/log_capture.h"
#include "trace/locations.h"
#include "trace/module_values.h"
#include "trace/summary_log.h"
#include "trace/trace_log.h"

namespace corvane::modVBTrace {
namespace {

using testing::TraceHarness;

TEST(DetailLog, PrefixedAndUnprefixedLinesToTheByte) {
  TraceHarness h;
  h.init(2);
  GlobalTrace(OLESTR("clsStringList.lfnMatch"), OLESTR("first\twith tab"), 2);
  GlobalTrace(OLESTR("ignored source"), OLESTR("plain"), 1, false);
  EXPECT_EQ(testing::read_file(h.detail_log()),
            "02-01-26 09:05:03.007\tCorvane\tclsStringList.lfnMatch: first\twith tab\r\n"
            "\tplain\r\n");
  // The debugger copy has no time stamp and no leading TAB.
  ASSERT_EQ(h.debug_output.lines.size(), 2u);
  EXPECT_EQ(h.debug_output.lines[0], "Corvane\tclsStringList.lfnMatch: first\twith tab\r\n");
  EXPECT_EQ(h.debug_output.lines[1], "plain\r\n");
}

TEST(DetailLog, TimeStampFieldsArePadded) {
  TraceHarness h;
  h.clock.now = {2026, 12, 0, 4, 19, 11, 2, 45};
  EXPECT_EQ(SystemTimeStamp(), OLESTR("12-04-26 19:11:02.045"));
  h.clock.now = {2031, 1, 0, 9, 0, 0, 0, 999};
  EXPECT_EQ(SystemTimeStamp(), OLESTR("01-09-31 00:00:00.999"));
}

TEST(DetailLog, TraceLevelDecidesWhatIsWritten) {
  TraceHarness h;
  // Before Init: level 0, raised to 2 by the first line; no path, so only
  // the debugger output sees the line.
  GlobalTrace(OLESTR("s"), OLESTR("level two"), 2);
  GlobalTrace(OLESTR("s"), OLESTR("level four"), 4);
  EXPECT_EQ(module_values().trace_level, 2);
  ASSERT_EQ(h.debug_output.lines.size(), 1u);
  EXPECT_NE(h.debug_output.lines[0].find("level two"), std::string::npos);

  h.init(4);
  GlobalTrace(OLESTR("s"), OLESTR("four"), 4);
  GlobalTrace(OLESTR("s"), OLESTR("five"), 5);
  h.init(1);
  GlobalTrace(OLESTR("s"), OLESTR("two"), 2);
  GlobalTrace(OLESTR("s"), OLESTR("one"), 1);
  const auto lines = h.detail_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("s: four"), std::string::npos);
  EXPECT_NE(lines[1].find("s: one"), std::string::npos);

  h.init(-3);  // any level below 1 means the default
  GlobalTrace(OLESTR("s"), OLESTR("default"), 2);
  EXPECT_EQ(module_values().trace_level, 2);
  EXPECT_EQ(h.detail_lines().size(), 3u);
}

TEST(DetailLog, NulMessageBypassesLevelAndPrefix) {
  TraceHarness h;
  h.init(1);
  const OLECHAR msg[] = {0, u'x', u'y'};
  GlobalTrace(OLESTR("src"), OleStringView(msg, 3), 4);
  EXPECT_EQ(testing::read_file(h.detail_log()), std::string("\t\0xy\r\n", 6));
  EXPECT_TRUE(h.debug_output.lines.empty());
}

TEST(DetailLog, ProcessNameBeforeInitIsTheComponentFile) {
  TraceHarness h;
  EXPECT_EQ(sfnProcessName(), OLESTR("corvane_tests"));
  h.init();
  EXPECT_EQ(sfnProcessName(), OLESTR("Corvane"));
}

TEST(DetailLog, LinesAreAppendedInTheAnsiCodePage) {
  TraceHarness h;
  h.init();
  GlobalTrace(OLESTR("s"), OLESTR("caf\u00e9"), 2, false);
  GlobalTrace(OLESTR("s"), OLESTR("second"), 2, false);
#ifdef _WIN32
  EXPECT_EQ(testing::read_file(h.detail_log()), "\tcaf\xe9\r\n\tsecond\r\n");
#else
  EXPECT_EQ(testing::read_file(h.detail_log()), "\tcaf\xc3\xa9\r\n\tsecond\r\n");
#endif
}

TEST(DetailLog, OpenIsTriedOneHundredAndOneTimes) {
  TraceHarness h;
  h.init();
  testing::FaultyFiles files;
  platform::Files::Override use(files);

  files.opens_to_fail = 100;  // the 101st attempt gets through
  GlobalTrace(OLESTR("s"), OLESTR("late"), 2, false);
  EXPECT_EQ(files.open_attempts, 101);
  EXPECT_EQ(h.detail_lines(), std::vector<std::string>{"\tlate"});

  files.open_attempts = 0;
  files.opens_to_fail = 101;
  h.debug_output.lines.clear();
  GlobalTrace(OLESTR("s"), OLESTR("lost"), 2, false);
  EXPECT_EQ(files.open_attempts, 101);
  EXPECT_EQ(h.detail_lines(), std::vector<std::string>{"\tlate"});
  ASSERT_EQ(h.debug_output.lines.size(), 2u);
  EXPECT_EQ(h.debug_output.lines[1], "Couldn't open log in GlobalLog. Msg = \tlost");
  EXPECT_EQ(platform::FreeFile(), 1);  // no file number left behind
}

TEST(DetailLog, MissingFolderFallsBackToTheDebuggerOutput) {
  TraceHarness h;
  h.init();
  module_values().detail_log_path = h.folder.file("no-such-folder/detail.log");
  GlobalTrace(OLESTR("src"), OLESTR("msg"), 2);
  ASSERT_EQ(h.debug_output.lines.size(), 2u);
  EXPECT_EQ(h.debug_output.lines[1],
            "Couldn't open log in GlobalLog. Msg = 02-01-26 09:05:03.007\tCorvane\tsrc: msg");
}

TEST(DetailLog, WriteFailureIsRaisedThroughEveryLevel) {
  TraceHarness h;
  h.init();
  testing::FaultyFiles files;
  platform::Files::Override use(files);
  files.fail_writes = true;
  try {
    GlobalTrace(OLESTR("s"), OLESTR("m"), 2);
    FAIL() << "the write failure did not reach the caller";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 57);
    const std::string d = testing::narrow(e.description());
    const std::string line = std::to_string(e.line());
    EXPECT_EQ(d, "Device I/O error\r\nRaised at line " + line +
                     " in in Corvane.modVBTrace.WriteToDetailLog.\r\nRaised at line " + line +
                     " in Corvane.modVBTrace.GlobalLog\r\nRaised at line " + line +
                     " in Corvane.modVBTrace.GlobalTrace");
  }
  EXPECT_EQ(files.open_files, 0);  // closed all the same
  EXPECT_EQ(platform::FreeFile(), 1);
}

TEST(SummaryLog, WriteToSummaryLogAppendsOrTraces) {
  TraceHarness h;
  h.init();
  WriteToSummaryLog(OLESTR("one\ttwo"));
  EXPECT_EQ(testing::read_file(h.summary_log()), "one\ttwo\r\n");

  testing::FaultyFiles files;
  platform::Files::Override use(files);
  files.opens_to_fail = 101;
  WriteToSummaryLog(OLESTR("lost"));
  files.opens_to_fail = 0;
  const auto lines = h.detail_lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0],
            "02-01-26 09:05:03.007\tCorvane\tmodVBTrace.WriteToSummaryLog: "
            "Couldn't open log. Msg = lost");

  module_values().summary_log_path.clear();
  WriteToSummaryLog(OLESTR("nowhere"));
  EXPECT_EQ(testing::read_file(h.summary_log()), "one\ttwo\r\n");
}

TEST(ErrorBoxes, SwitchIsTrueOnceRead) {
  TraceHarness h;
  EXPECT_FALSE(module_values().error_boxes_enabled.has_value());
  EXPECT_TRUE(bfnErrorBoxesEnabled());
  EXPECT_EQ(module_values().error_boxes_enabled, std::optional<bool>(true));
}

}  // namespace
}  // namespace corvane::modVBTrace
