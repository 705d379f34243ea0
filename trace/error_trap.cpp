#include "trace/error_trap.h"

#include "automation/vb_text.h"
#include "platform/screen.h"
#include "trace/message_boxes.h"
#include "trace/summary_log.h"
#include "trace/trace_log.h"

namespace corvane::modVBTrace {

OleString standard_error_message(const AutomationError& error, OleStringView label) {
  OleString msg = OLESTR("Error ");
  msg += to_text(error.number());
  msg += OLESTR(": ");
  msg += error.description();
  msg += OLESTR("\r\n");
  msg += label;
  msg += OLESTR("\r\nThe error occured at line: ");
  msg += to_text(error.line());
  return msg;
}

AutomationError raised_error(const AutomationError& error, OleStringView label) {
  OleString description = error.description();
  description += OLESTR("\r\nRaised at line ");
  description += to_text(error.line());
  description += OLESTR(" in ");
  description += label;
  return AutomationError(error.number(), std::move(description), OleString(), error.line());
}

void handle_trapped_error(const ErrorTrap& trap, const AutomationError& error) {
  if (trap.form == TrapForm::kRaise) throw raised_error(error, trap.label);
  OleString message = standard_error_message(error, trap.label);
  switch (trap.form) {
    case TrapForm::kMsgBox:
      MsgBox(message, trap.buttons, OleStringView(OLESTR("Error")), 3);
      break;
    case TrapForm::kErrMsgBox:
      ErrMsgBox(message, trap.buttons, OLESTR("Error"), true);
      break;
    case TrapForm::kErrorsLog:
      GlobalErrorsLog(trap.source, message, 2, true, true);
      break;
    case TrapForm::kTrace:
      GlobalTrace(trap.source, message, 2, true, false, 1, false);
      break;
    case TrapForm::kDirect: {
      WriteToSummaryLog(message);
      OleString line(trap.source);
      line += u'\t';
      line += message;
      WriteToDetailLog(line);
      break;
    }
    case TrapForm::kRaise:
      break;
  }
  if (trap.reset_mouse_pointer) platform::Screen::current().reset_mouse_pointer();
}

}  // namespace corvane::modVBTrace
