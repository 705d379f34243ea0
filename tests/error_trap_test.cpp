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

// The detail log's first entry (which may itself hold line breaks); with
// `only`, the one entry.
std::string first_entry(const TraceHarness& h, bool only = true) {
  std::string text = testing::read_file(h.detail_log());
  EXPECT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  text.resize(text.size() - 2);
  const std::size_t next = text.find("\r\n0");
  if (only) {
    EXPECT_EQ(next, std::string::npos) << "more than one entry";
  }
  return text.substr(0, next);
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
  const std::string message =
      "Error 5: Access denied\r\nin Corvane.clsStringList.StringList.\r\n"
      "The error occured at line: 1234";
  ASSERT_EQ(h.boxes.boxes.size(), 1u);
  EXPECT_EQ(h.boxes.boxes[0].text, message);
  EXPECT_EQ(h.boxes.boxes[0].title, "Error");
  EXPECT_EQ(h.boxes.boxes[0].style, 4096);
  EXPECT_EQ(h.screen.resets, 1);

  TraceHarness h2;
  h2.init();
  trapped(errmsgbox_trap(OLESTR("in Corvane.modVBTrace.lfnBackwardsInstr."), 4097), fail);
  ASSERT_EQ(h2.boxes.boxes.size(), 1u);
  EXPECT_EQ(h2.shown("Problem details sent to Orlanth | Marrowind: \r\nError 5: Access denied\r\n"
                     "in Corvane.modVBTrace.lfnBackwardsInstr.\r\n"
                     "The error occured at line: 1234"),
            1u);
  EXPECT_EQ(h2.boxes.boxes[0].style, 4096);  // whatever the trap asked for
  EXPECT_EQ(h2.screen.resets, 0);            // only the class's members reset the pointer
}

TEST(ErrorTrap, ErrorsLogAndTraceForms) {
  TraceHarness h;
  h.init();
  trapped(
      errors_log_trap(OLESTR("in Corvane.modVBTrace.ModulePath."), OLESTR("modVBTrace.ModulePath")),
      fail);
  EXPECT_EQ(first_entry(h, false), std::string(kStamp) +
                                       "modVBTrace.GlobalErrorsLog: GlobalErrorsLog >>> "
                                       "modVBTrace.ModulePath\tError 5: Access denied\r\n"
                                       "in Corvane.modVBTrace.ModulePath.\r\n"
                                       "The error occured at line: 1234\tSeverity: 2");

  TraceHarness h2;
  h2.init();
  trapped(trace_trap(OLESTR("in Corvane.modVBTrace.sfnDetailLogName."),
                     OLESTR("modVBTrace.sfnDetailLogName")),
          fail);
  EXPECT_EQ(first_entry(h2), std::string(kStamp) +
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
  const std::string log = testing::read_file(h.detail_log());
  EXPECT_NE(log.find("m.a\tError 7: Out of memory"), std::string::npos);
  EXPECT_NE(log.find("m.b\tError 51: Internal error"), std::string::npos);
}

}  // namespace
}  // namespace corvane::modVBTrace
