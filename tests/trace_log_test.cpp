// The detail log: what a trace line looks like in the file and the debugger
// output, which lines the trace level lets through, and what happens when
// the file cannot be opened or written.
#include <gtest/gtest.h>

#include "automation/error.h"
#include "platform/file_numbers.h"
#include "support/log_capture.h"
#include "trace/locations.h"
#include "trace/module_values.h"
#include "trace/trace_log.h"

namespace corvane::modVBTrace {
namespace {

using testing::TraceHarness;

TEST(DetailLog, PrefixedAndUnprefixedLinesToTheByte) {
  TraceHarness h;
  h.init(2);
  GlobalTrace(OLESTR("clsStringList.lfnMatch"), OLESTR("first\twith tab"), 2);
  GlobalTrace(OLESTR("ignored source"), OLESTR("plain"), 1, false);
  const std::string first =
      "02-01-26 09:05:03.007\tCorvane\tclsStringList.lfnMatch: first\twith tab\r\n";
  EXPECT_EQ(testing::read_file(h.detail_log()), first + "\tplain\r\n");
  EXPECT_EQ(h.stamped("clsStringList.lfnMatch", "first\twith tab"), first);
  // The debugger copy has no time stamp and no leading TAB.
  EXPECT_EQ(h.debug_output.lines,
            (std::vector<std::string>{"Corvane\tclsStringList.lfnMatch: first\twith tab\r\n",
                                      "plain\r\n"}));
  // Every field of the stamp is padded.
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
  EXPECT_EQ(h.debug_output.lines, std::vector<std::string>{"corvane_tests\ts: level two\r\n"});

  h.init(4);
  GlobalTrace(OLESTR("s"), OLESTR("four"), 4);
  GlobalTrace(OLESTR("s"), OLESTR("five"), 5);
  h.init(1);
  GlobalTrace(OLESTR("s"), OLESTR("two"), 2);
  GlobalTrace(OLESTR("s"), OLESTR("one"), 1);
  EXPECT_EQ(h.detail_lines().size(), 2u);
  EXPECT_TRUE(h.traced("s", "four"));
  EXPECT_TRUE(h.traced("s", "one"));

  h.init(-3);  // any level below 1 means the default
  GlobalTrace(OLESTR("s"), OLESTR("default"), 2);
  EXPECT_EQ(module_values().trace_level, 2);
  EXPECT_TRUE(h.traced("s", "default"));

  // A message that begins with NUL bypasses level and prefix.
  h.init(1);
  h.debug_output.lines.clear();
  const OLECHAR msg[] = {0, u'x', u'y'};
  GlobalTrace(OLESTR("src"), OleStringView(msg, 3), 4);
  const std::string log = testing::read_file(h.detail_log());
  EXPECT_EQ(log.substr(log.size() - 6), std::string("\t\0xy\r\n", 6));
  EXPECT_TRUE(h.debug_output.lines.empty());
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
    const std::string at = "\r\nRaised at line " + std::to_string(e.line()) + " in ";
    EXPECT_EQ(testing::narrow(e.description()),
              "Device I/O error" + at + "in Corvane.modVBTrace.WriteToDetailLog." + at +
                  "Corvane.modVBTrace.GlobalLog" + at + "Corvane.modVBTrace.GlobalTrace");
  }
  EXPECT_EQ(files.open_files, 0);  // closed all the same
  EXPECT_EQ(platform::FreeFile(), 1);
  EXPECT_TRUE(bfnErrorBoxesEnabled());
}

}  // namespace
}  // namespace corvane::modVBTrace
