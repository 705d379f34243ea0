// The standard error trap in each of its forms: each form's output appears
// once, where it belongs, and the routine then returns normally (or raises,
// in the raise form).
#include <gtest/gtest.h>

#include "support/log_capture.h"
#include "trace/error_trap.h"

namespace corvane::modVBTrace {
namespace {

using namespace testing;

// The one place the trap's standard message is pinned.
std::string message(const std::string& label) {
  return "Error 5: Access denied\r\n" + label + "\r\nThe error occured at line: 1234";
}

TEST(ErrorTrap, EachFormPutsTheMessageInItsOnePlace) {
  // A row: the trap; the boxes holding the message and the mouse pointer
  // resets; the title of the box; the source of the stamped detail-log line
  // (nullptr: none) and the text around the message in it; the description
  // handed on in the raise form. (The direct form's lines are checked where
  // the viewer's sends fail, trace_forwarding_test.)
  struct Row {
    ErrorTrap trap;
    int boxes, resets;
    const char *title, *source;
    std::string prefix, suffix, raised = "";
  };
  // clang-format off
  const Row rows[] = {
      {member_msgbox_trap(OLESTR("in Corvane.c.a.")), 1, 1, "Error", nullptr, "", ""},
      {errmsgbox_trap(OLESTR("in Corvane.m.b."), 4097), 1, 0, "Quillon Warning Message", nullptr, "", ""},
      {errors_log_trap(OLESTR("in Corvane.m.c."), OLESTR("m.c")), 0, 0, "", "modVBTrace.GlobalErrorsLog",
       "GlobalErrorsLog >>> m.c\t", "\tSeverity: 2"},
      {trace_trap(OLESTR("in Corvane.m.d."), OLESTR("m.d")), 0, 0, "", "m.d", "", ""},
      {raise_trap(OLESTR("in Corvane.c.f.")), 0, 0, "", nullptr, "", "",
       "Access denied\r\nRaised at line 1234 in in Corvane.c.f."}};
  // clang-format on
  for (const Row& row : rows) {
    const std::string msg = message(narrow(row.trap.label));
    SCOPED_TRACE(msg);
    TraceHarness h(2);
    const AutomationError e = error_raised([&] {
      trapped(row.trap, [] { throw AutomationError(5, OLESTR("Access denied"), {}, 1234); });
    });
    EXPECT_EQ(e.number(), row.raised.empty() ? 0 : 5);
    EXPECT_EQ(narrow(e.description() + e.source()), row.raised);
    EXPECT_EQ(h.boxes.boxes.size(), static_cast<std::size_t>(row.boxes));
    EXPECT_EQ(h.shown(msg), static_cast<std::size_t>(row.boxes));
    EXPECT_EQ(h.boxes.last().title, row.title);
    EXPECT_EQ(h.boxes.last().style, row.boxes * 4096);  // whatever the trap asked for
    EXPECT_EQ(h.screen.resets, row.resets);
    const std::string detail = read_file(h.detail_log());
    // The message's only entry, the first; none in the raise form.
    const std::string line = row.source ? h.stamped(row.source, row.prefix + msg + row.suffix) : "";
    EXPECT_TRUE(detail.starts_with(line) && count_of(detail, msg) == (row.source ? 1u : 0u))
        << detail;
  }
}

}  // namespace
}  // namespace corvane::modVBTrace
