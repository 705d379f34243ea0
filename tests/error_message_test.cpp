// Taking the standard error message apart, and the small text routines the
// parser stands on.
#include <gtest/gtest.h>

#include "automation/error.h"
#include "support/log_capture.h"
#include "trace/error_message.h"
#include "trace/error_trap.h"
#include "trace/locations.h"

namespace corvane::modVBTrace {
namespace {

struct Parsed {
  OleString line, number, source, description;
};

Parsed parse(OleStringView msg) {
  Parsed p{OLESTR("x"), OLESTR("x"), OLESTR("x"), OLESTR("x")};
  ParseErrorMessage(msg, p.line, p.number, p.source, p.description);
  return p;
}

TEST(ParseErrorMessage, SplitsTheStandardMessage) {
  const Parsed p =
      parse(OLESTR("Error 5: Access denied\r\nin Corvane.modVBTrace.AppPath.\r\nThe error occured "
                   "at line: 120"));
  EXPECT_EQ(p.number, OLESTR("5"));
  EXPECT_EQ(p.description, OLESTR("Access denied"));
  EXPECT_EQ(p.source, OLESTR("Corvane.modVBTrace.AppPath"));
  EXPECT_EQ(p.line, OLESTR("120"));
}

TEST(ParseErrorMessage, RoundTripsWhatTheTrapBuilds) {
  // A description that already carries a raise chain stays whole.
  const AutomationError raised =
      raised_error(AutomationError(-1, OLESTR("Non string array"), {}, 7),
                   OLESTR("in Corvane.modArrayUtils.CopyOfStringArrayDescriptor1D."));
  const AutomationError error(raised.number(), raised.description(), {}, 31);
  const Parsed p =
      parse(standard_error_message(error, OLESTR("in Corvane.clsStringList.AssignStringList.")));
  EXPECT_EQ(p.number, OLESTR("-1"));
  EXPECT_EQ(p.description, raised.description());
  EXPECT_EQ(p.source, OLESTR("Corvane.clsStringList.AssignStringList"));
  EXPECT_EQ(p.line, OLESTR("31"));
}

TEST(ParseErrorMessage, OtherTextsKeepTheStartingValues) {
  Parsed p = parse(OLESTR("Something odd happened"));
  EXPECT_EQ(p.number, OLESTR("0"));
  EXPECT_EQ(p.description, OLESTR("Something odd happened"));
  EXPECT_EQ(p.source, OLESTR("Unknown"));
  EXPECT_EQ(p.line, OLESTR("0"));

  p = parse(OLESTR(""));
  EXPECT_EQ(p.description, OLESTR(""));
  EXPECT_EQ(p.source, OLESTR("Unknown"));

  // A line number followed by other text is cut at its first non-digit.
  p = parse(OLESTR("Error 9: Gone\r\nin Corvane.m.r.\r\nThe error occured at line: 12abc"));
  EXPECT_EQ(p.line, OLESTR("12"));
  EXPECT_EQ(p.source, OLESTR("Corvane.m.r"));
  EXPECT_EQ(p.description, OLESTR("Gone"));
  p = parse(OLESTR("Error 9: Gone\r\nin Corvane.m.r.\r\nThe error occured at line: x1"));
  EXPECT_EQ(p.line, OLESTR(""));

  // Without a label line the last word before the phrase is taken as the
  // source, and the description (which would have a negative length) stays.
  p = parse(OLESTR("Error 3:\r\nThe error occured at line: 4"));
  EXPECT_EQ(p.number, OLESTR("3"));
  EXPECT_EQ(p.line, OLESTR("4"));
  EXPECT_EQ(p.source, OLESTR("3"));
  EXPECT_EQ(p.description, OLESTR("Error 3:\r\nThe error occured at line: 4"));
}

TEST(ErrorNumberFromMessage, FindsTheNumberAfterTheWord) {
  std::int32_t stop = -5;
  EXPECT_EQ(sfnErrorNumberFromMessage(OLESTR("Error -1234567890: boom"), stop),
            OLESTR("-1234567890"));
  EXPECT_EQ(stop, 18);  // the colon

  stop = -5;
  EXPECT_EQ(sfnErrorNumberFromMessage(OLESTR("after error 42 happened"), stop), OLESTR("42"));
  EXPECT_EQ(stop, 15);  // the blank that ended the number

  stop = -5;
  EXPECT_EQ(sfnErrorNumberFromMessage(OLESTR("MyError 5: no"), stop), OLESTR("0"));
  EXPECT_EQ(stop, -5);  // a word that only ends in "Error" carries no number
  EXPECT_EQ(sfnErrorNumberFromMessage(OLESTR("no number here"), stop), OLESTR("0"));
  EXPECT_EQ(stop, -5);

  EXPECT_EQ(sfnErrorNumberFromMessage(OLESTR("Error : nothing"), stop), OLESTR("0"));
  EXPECT_EQ(stop, 7);
  EXPECT_EQ(sfnErrorNumberFromMessage(OLESTR("x,Error 7"), stop), OLESTR("7"));
  EXPECT_EQ(stop, 10);  // one past the end
}

TEST(ErrorNumberFromMessage, CharacterClasses) {
  for (const OLECHAR* c : {OLESTR("0"), OLESTR("9"), OLESTR(" "), OLESTR("-")}) {
    EXPECT_TRUE(bfnIsNumberChar(c)) << testing::narrow(c);
  }
  for (const OLECHAR* c : {OLESTR("a"), OLESTR(":"), OLESTR("+"), OLESTR("")}) {
    EXPECT_FALSE(bfnIsNumberChar(c)) << testing::narrow(c);
  }
  for (const OLECHAR* c : {OLESTR(" "), OLESTR(","), OLESTR("."), OLESTR("-"), OLESTR(":")}) {
    EXPECT_FALSE(bfnIsNotSeparator(c)) << testing::narrow(c);
  }
  for (const OLECHAR* c : {OLESTR("a"), OLESTR(";"), OLESTR("\t")}) {
    EXPECT_TRUE(bfnIsNotSeparator(c)) << testing::narrow(c);
  }
}

TEST(TextRoutines, BackwardsInstrAndStripNulls) {
  testing::TraceHarness harness;
  EXPECT_EQ(lfnBackwardsInstr(OLESTR("a b c"), OLESTR(" "), -1), 1);
  EXPECT_EQ(lfnBackwardsInstr(OLESTR("abc"), OLESTR(" "), -1), 0);
  EXPECT_EQ(lfnBackwardsInstr(OLESTR("ab c"), OLESTR(" "), 2), 1);
  EXPECT_EQ(lfnBackwardsInstr(OLESTR("abc "), OLESTR(" "), -1), 0);
  EXPECT_EQ(lfnBackwardsInstr(OLESTR("C:\\a\\bcd.txt"), OLESTR("\\"), -1), 7);
  EXPECT_EQ(lfnBackwardsInstr(OLESTR("ab c"), OLESTR(" "), 100), 1);

  const OLECHAR with_nul[] = {u'a', u'b', u'c', 0, u'd', u'e', u'f'};
  EXPECT_EQ(StripNulls(OleStringView(with_nul, 7)), OLESTR("abc"));
  EXPECT_EQ(StripNulls(OLESTR("abc")), OLESTR("abc"));
  EXPECT_EQ(StripNulls(OleStringView(with_nul + 3, 4)), OLESTR(""));
}

}  // namespace
}  // namespace corvane::modVBTrace
