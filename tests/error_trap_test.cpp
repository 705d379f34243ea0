// The standard error trap in each of its forms: what ends up where, and that
// the routine then returns normally (or raises, in the raise form).
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "support/log_capture.h"
#include "trace/error_trap.h"

namespace corvane::modVBTrace {
namespace {

using testing::TraceHarness;

constexpr int kFailLine = 1234;

void fail() {
  throw AutomationError(5, OLESTR("Access denied"), {}, kFailLine);
}

// The detail log's one entry (which may itself hold line breaks).
std::string only_line(const TraceHarness& h) {
  std::string text = testing::read_file(h.detail_log());
  EXPECT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  text.resize(text.size() - 2);
  EXPECT_EQ(text.find("\r\n0"), std::string::npos) << "more than one entry";
  return text;
}

constexpr const char* kStamp = "02-01-26 09:05:03.007\tCorvane\t";

TEST(ErrorTrap, MessageBoxFormsShowTheStandardMessage) {
  TraceHarness h;
  h.init();
  int result = 7;
  trapped(member_msgbox_trap(OLESTR("in Corvane.clsStringList.StringList.")), [&] {
    fail();
    result = 8;
  });
  EXPECT_EQ(result, 7);
  EXPECT_EQ(only_line(h), std::string(kStamp) +
                              "modVBTrace.MsgBox: MSGBOX: Error 5: Access denied\r\n"
                              "in Corvane.clsStringList.StringList.\r\n"
                              "The error occured at line: 1234\tButtons: 4096\tTitle: Error\t"
                              "Severity: 3");
  EXPECT_EQ(h.screen.resets, 1);

  TraceHarness h2;
  h2.init();
  trapped(errmsgbox_trap(OLESTR("in Corvane.modVBTrace.lfnBackwardsInstr."), 4097), fail);
  EXPECT_NE(only_line(h2).find("modVBTrace.ErrMsgBox: ERRMSGBOX: Error 5: Access denied\r\n"
                               "in Corvane.modVBTrace.lfnBackwardsInstr.\r\n"
                               "The error occured at line: 1234\tButtons: 4097\tTitle: Error"),
            std::string::npos);
  EXPECT_EQ(h2.screen.resets, 0);  // only the class's members reset the pointer
}

TEST(ErrorTrap, ErrorsLogAndTraceForms) {
  TraceHarness h;
  h.init();
  trapped(
      errors_log_trap(OLESTR("in Corvane.modVBTrace.ModulePath."), OLESTR("modVBTrace.ModulePath")),
      fail);
  EXPECT_EQ(only_line(h), std::string(kStamp) +
                              "modVBTrace.GlobalErrorsLog: GlobalErrorsLog >>> "
                              "modVBTrace.ModulePath\tError 5: Access denied\r\n"
                              "in Corvane.modVBTrace.ModulePath.\r\n"
                              "The error occured at line: 1234\tSeverity: 2");

  TraceHarness h2;
  h2.init();
  trapped(trace_trap(OLESTR("in Corvane.modVBTrace.sfnDetailLogName."),
                     OLESTR("modVBTrace.sfnDetailLogName")),
          fail);
  EXPECT_EQ(only_line(h2), std::string(kStamp) +
                               "modVBTrace.sfnDetailLogName: Error 5: Access denied\r\n"
                               "in Corvane.modVBTrace.sfnDetailLogName.\r\n"
                               "The error occured at line: 1234");
}

TEST(ErrorTrap, RaiseFormExtendsTheDescription) {
  TraceHarness h;
  try {
    trapped(raise_trap(OLESTR("in Corvane.clsStringList.AssignStringList.")), fail);
    FAIL() << "not raised";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 5);
    EXPECT_EQ(e.description(), OLESTR("Access denied\r\nRaised at line 1234 in "
                                      "in Corvane.clsStringList.AssignStringList."));
    EXPECT_TRUE(e.source().empty());
  }
  EXPECT_TRUE(h.detail_lines().empty());
}

TEST(ErrorTrap, DirectFormWritesBothLogsWithoutGlobalLog) {
  TraceHarness h;
  h.init();
  trapped(
      direct_trap(OLESTR("in Corvane.modVBTrace.UseSendTrace."), OLESTR("modVBTrace.UseSendTrace")),
      fail);
  const std::string message =
      "Error 5: Access denied\r\nin Corvane.modVBTrace.UseSendTrace.\r\n"
      "The error occured at line: 1234\r\n";
  EXPECT_EQ(testing::read_file(h.summary_log()), message);
  EXPECT_EQ(testing::read_file(h.detail_log()), "modVBTrace.UseSendTrace\t" + message);
}

TEST(ErrorTrap, CppExceptionsBecomeAutomationErrors) {
  TraceHarness h;
  h.init();
  trapped(errors_log_trap(OLESTR("in Corvane.m.a."), OLESTR("m.a")),
          [] { throw std::bad_alloc(); });
  trapped(errors_log_trap(OLESTR("in Corvane.m.b."), OLESTR("m.b")),
          [] { throw std::logic_error("bug"); });
  const auto lines = h.detail_lines();
  ASSERT_EQ(lines.size(), 6u);  // each message holds two line breaks of its own
  EXPECT_NE(lines[0].find("m.a\tError 7: Out of memory"), std::string::npos);
  EXPECT_NE(lines[3].find("m.b\tError 51: Internal error"), std::string::npos);
}

}  // namespace
}  // namespace corvane::modVBTrace
