// The small routines around the message boxes: answer names, the log form of
// a box's text, and the switch file that suppresses boxes.
#include <gtest/gtest.h>

#include <fstream>

#include "support/log_capture.h"
#include "trace/message_boxes.h"
#include "trace/module_values.h"

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

}  // namespace
}  // namespace corvane::modVBTrace
