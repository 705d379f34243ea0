// Taking the standard error message apart: ParseErrorMessage and the error
// number search it stands on.
#include "trace/error_message.h"
#include "support/list_fixture.h"

namespace corvane::modVBTrace {
namespace {

TEST(ParseErrorMessage, Table) {
  struct Row {
    const char* message;
    const char *line, *number, *source, *description;
  };
  const Row rows[] = {
      {"Error 5: Access denied\r\nin Corvane.modVBTrace.AppPath.\r\nThe error occured at line: 120",
       "120", "5", "Corvane.modVBTrace.AppPath", "Access denied"},
      // A description that already carries a raise chain stays whole.
      {"Error -1: Non string array\r\nRaised at line 7 in in Corvane.modArrayUtils.Copy1D.\r\n"
       "in Corvane.clsStringList.AssignStringList.\r\nThe error occured at line: 31",
       "31", "-1", "Corvane.clsStringList.AssignStringList",
       "Non string array\r\nRaised at line 7 in in Corvane.modArrayUtils.Copy1D."},
      // Other texts keep the starting values.
      {"Something odd happened", "0", "0", "Unknown", "Something odd happened"},
      {"", "0", "0", "Unknown", ""},
      // A line number is cut at its first non-digit.
      {"Error 9: Gone\r\nin Corvane.m.r.\r\nThe error occured at line: 12abc", "12", "9",
       "Corvane.m.r", "Gone"},
      {"Error 9: Gone\r\nin Corvane.m.r.\r\nThe error occured at line: x1", "", "9", "Corvane.m.r",
       "Gone"},
      // Without a label line the last word before the phrase is the source,
      // and the description (which would have a negative length) stays.
      {"Error 3:\r\nThe error occured at line: 4", "4", "3", "3",
       "Error 3:\r\nThe error occured at line: 4"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    OleString line = OLESTR("x"), number = line, source = line, description = line;
    ParseErrorMessage(testing::wide(row.message), line, number, source, description);
    EXPECT_EQ(std::tuple(testing::narrow(line), testing::narrow(number), testing::narrow(source),
                         testing::narrow(description)),
              std::tuple(row.line, row.number, row.source, row.description));
  }
}

// Each row: the message, the number found in it, and where the scan stopped
// (-5: left as it was). The stop is the colon or blank that ended the number,
// or one past the end; a word that only ends in "Error" carries no number.
TEST(ErrorNumberFromMessage, Table) {
  for (const OleString& row : testing::words(
           "Error -1234567890: boom=-1234567890=18|after error 42 happened=42=15|MyError 5: "
           "no=0=-5|"
           "no number here=0=-5|Error : nothing=0=7|x,Error 7=7=10|x.Error 8=8=10|x:Error 9=9=10|"
           "x-Error 6=6=10|Error 1a=1=8|Error 2+=2=8",
           '|')) {
    const std::size_t first = row.find(u'=');
    std::int32_t stop = -5;
    const OleString number = sfnErrorNumberFromMessage(row.substr(0, first), stop);
    EXPECT_EQ(to_utf8(number) + "=" + std::to_string(stop), to_utf8(row.substr(first + 1)))
        << to_utf8(row);
  }
}

}  // namespace
}  // namespace corvane::modVBTrace
