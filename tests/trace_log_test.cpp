// The detail log: what a trace line looks like in the file and the debugger
// output, which lines the trace level lets through, and what happens when
// the file cannot be written.
#include <gtest/gtest.h>

#include "support/log_capture.h"
#include "trace/locations.h"
#include "trace/trace_log.h"

namespace corvane::modVBTrace {
namespace {

using namespace testing;

// The one place the detail line's form is pinned. An unprefixed line is
// appended in the ANSI code page.
TEST(DetailLog, PrefixedAndUnprefixedLinesToTheByte) {
  TraceHarness h(2);
  GlobalTrace(OLESTR("clsStringList.lfnMatch"), OLESTR("first\twith tab"), 2);
  GlobalTrace(OLESTR("ignored source"), OLESTR("caf\u00e9"), 1, false);
#ifdef _WIN32
  const std::string cafe = "caf\xe9\r\n";
#else
  const std::string cafe = "caf\xc3\xa9\r\n";
#endif
  const std::string first =
      "02-01-26 09:05:03.007\tCorvane\tclsStringList.lfnMatch: first\twith tab\r\n";
  EXPECT_EQ(read_file(h.detail_log()), first + "\t" + cafe);
  EXPECT_EQ(h.stamped("clsStringList.lfnMatch", "first\twith tab"), first);
  // The debugger copy has no time stamp and no leading TAB.
  EXPECT_EQ(h.debug_output.lines, (std::vector<std::string>{first.substr(22), cafe}));
  // Each field's digits (the line above has the leading zeros).
  h.clock.now = {2031, 12, 0, 24, 19, 58, 37, 945};
  EXPECT_EQ(SystemTimeStamp(), OLESTR("12-24-31 19:58:37.945"));
}

TEST(DetailLog, TraceLevelDecidesWhatIsWritten) {
  TraceHarness h;
  // Before Init: level 0, raised to 2 by the first line; no path, so only
  // the debugger output sees the line.
  GlobalTrace(OLESTR("s"), OLESTR("level two"), 2);
  GlobalTrace(OLESTR("s"), OLESTR("level four"), 4);
  EXPECT_EQ(h.debug_output.lines, std::vector<std::string>{"corvane_tests\ts: level two\r\n"});

  h.init(4);
  GlobalTrace(OLESTR("s"), OLESTR("four"), 4);
  GlobalTrace(OLESTR("s"), OLESTR("five"), 5);
  h.init(1);
  GlobalTrace(OLESTR("s"), OLESTR("two"), 2);
  GlobalTrace(OLESTR("s"), OLESTR("one"), 1);
  h.init(-3);  // any level below 1 means the default
  GlobalTrace(OLESTR("s"), OLESTR("default"), 2);
  EXPECT_EQ(read_file(h.detail_log()),
            h.stamped("s", "four") + h.stamped("s", "one") + h.stamped("s", "default"));

  // A message that begins with NUL bypasses level and prefix.
  h.init(1);
  h.debug_output.lines.clear();
  const OLECHAR msg[] = {0, u'x', u'y'};
  GlobalTrace(OLESTR("src"), OleStringView(msg, 3), 4);
  EXPECT_TRUE(read_file(h.detail_log()).ends_with(std::string("\t\0xy\r\n", 6)));
  EXPECT_TRUE(h.debug_output.lines.empty());
}

TEST(DetailLog, WriteFailureIsRaisedThroughEveryLevel) {
  TraceHarness h(2);
  FaultyFiles files;
  platform::Files::Override use(files);
  files.fail_writes = true;
  const AutomationError e = error_raised([] { GlobalTrace(OLESTR("s"), OLESTR("m"), 2); });
  EXPECT_EQ(e.number(), 57);
  const std::string at = "\r\nRaised at line " + std::to_string(e.line()) + " in ";
  EXPECT_EQ(narrow(e.description()),
            "Device I/O error" + at + "in Corvane.modVBTrace.WriteToDetailLog." + at +
                "Corvane.modVBTrace.GlobalLog" + at + "Corvane.modVBTrace.GlobalTrace");
}

}  // namespace
}  // namespace corvane::modVBTrace
