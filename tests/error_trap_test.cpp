// The standard error trap in each of its forms: each form's output appears
// once, where it belongs, and the routine then returns normally (or raises,
// in the raise form).
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "support/log_capture.h"
#include "trace/error_trap.h"

namespace corvane::modVBTrace {
namespace {

using testing::TraceHarness;

void fail() {
  throw AutomationError(5, OLESTR("Access denied"), {}, 1234);
}

std::string message(const std::string& label) {
  return "Error 5: Access denied\r\n" + label + "\r\nThe error occured at line: 1234";
}

TEST(ErrorTrap, EachFormPutsTheMessageInItsOnePlace) {
  struct Row {
    ErrorTrap trap;
    int boxes, resets;            // boxes holding the message; mouse pointer resets
    const char* title;            // of the box
    const char* source;           // of the stamped detail-log line, or nullptr
    std::string prefix, suffix;   // around the message in that line
    std::size_t in_summary;       // how often the summary log holds the message
    std::string raw_detail = "";  // the whole detail log, when not stamped
    std::string raised = "";      // the description handed on, in the raise form
  };
  const Row rows[] = {
      {member_msgbox_trap(OLESTR("in Corvane.c.a.")), 1, 1, "Error", nullptr, "", "", 0},
      {errmsgbox_trap(OLESTR("in Corvane.m.b."), 4097), 1, 0, "Quillon Warning Message", nullptr,
       "", "", 0},
      {errors_log_trap(OLESTR("in Corvane.m.c."), OLESTR("m.c")), 0, 0, "",
       "modVBTrace.GlobalErrorsLog", "GlobalErrorsLog >>> m.c\t", "\tSeverity: 2", 1},
      {trace_trap(OLESTR("in Corvane.m.d."), OLESTR("m.d")), 0, 0, "", "m.d", "", "", 0},
      {direct_trap(OLESTR("in Corvane.m.e."), OLESTR("m.e")), 0, 0, "", nullptr, "", "", 1,
       "m.e\t" + message("in Corvane.m.e.") + "\r\n"},
      {raise_trap(OLESTR("in Corvane.c.f.")), 0, 0, "", nullptr, "", "", 0, "",
       "Access denied\r\nRaised at line 1234 in in Corvane.c.f."},
  };
  for (const Row& row : rows) {
    const std::string msg = message(testing::narrow(row.trap.label));
    SCOPED_TRACE(msg);
    TraceHarness h;
    h.init();
    int result = 7;
    std::string raised;
    try {
      trapped(row.trap, [&] {
        fail();
        result = 8;
      });
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), 5);
      EXPECT_TRUE(e.source().empty());
      raised = testing::narrow(e.description());
    }
    EXPECT_EQ(raised, row.raised);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(h.boxes.boxes.size(), static_cast<std::size_t>(row.boxes));
    EXPECT_EQ(h.shown(msg), static_cast<std::size_t>(row.boxes));
    if (row.boxes != 0) {
      EXPECT_EQ(h.boxes.last().title, row.title);
      EXPECT_EQ(h.boxes.last().style, 4096);  // whatever the trap asked for
    }
    EXPECT_EQ(h.screen.resets, row.resets);
    const std::string detail = testing::read_file(h.detail_log());
    if (row.source != nullptr) {
      const std::string line = h.stamped(row.source, row.prefix + msg + row.suffix);
      EXPECT_EQ(testing::count_of(detail, line), 1u) << detail;
      EXPECT_EQ(detail.rfind(line, 0), 0u) << "not the first entry";
      EXPECT_EQ(testing::count_of(detail, msg), 1u) << detail;
    }
    if (row.boxes == 0) {
      if (row.source == nullptr) {
        EXPECT_EQ(detail, row.raw_detail);
      }
      EXPECT_EQ(testing::count_of(testing::read_file(h.summary_log()), msg), row.in_summary);
    }
  }
}

TEST(ErrorTrap, CppExceptionsBecomeAutomationErrors) {
  TraceHarness h;
  h.init();
  trapped(trace_trap(OLESTR("in Corvane.m.a."), OLESTR("m.a")), [] { throw std::bad_alloc(); });
  trapped(trace_trap(OLESTR("in Corvane.m.b."), OLESTR("m.b")),
          [] { throw std::logic_error("bug"); });
  const std::string log = testing::read_file(h.detail_log());
  EXPECT_NE(log.find("m.a: Error 7: Out of memory"), std::string::npos);
  EXPECT_NE(log.find("m.b: Error 51: Internal error"), std::string::npos);
}

}  // namespace
}  // namespace corvane::modVBTrace
