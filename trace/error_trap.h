// The standard error trap, written once. A routine runs its body through
// `trapped(trap, body)`; an error that leaves the body (an AutomationError, or
// any C++ exception turned into one) ends in the trap's form:
//
//   message box  the standard message goes to MsgBox (severity 3) or ErrMsgBox;
//                the class's members then reset the host's mouse pointer
//   errors log   the standard message goes to GlobalErrorsLog (severity 2)
//   trace        the standard message goes to GlobalTrace (level 2)
//   raise        the error goes on to the caller, its description extended by
//                CR LF "Raised at line " line " in " label
//   direct       the standard message goes to WriteToSummaryLog, and source TAB
//                message to WriteToDetailLog
//
// Except in the raise form the routine then returns normally: its result
// keeps the value it had when the error happened.
#pragma once

#include <cstdint>

#include "automation/error.h"
#include "automation/ole_types.h"

namespace corvane::modVBTrace {

enum class TrapForm { kMsgBox, kErrMsgBox, kErrorsLog, kTrace, kRaise, kDirect };

struct ErrorTrap {
  TrapForm form;
  // The routine's label: "in Corvane.clsStringList.StringList." and the like.
  OleStringView label;
  // The source of log entries in the errors-log, trace and direct forms:
  // "modVBTrace.AppPath" and the like.
  OleStringView source = {};
  // Buttons passed to the box (4096 system-modal; 4097 in a few routines).
  std::int32_t buttons = 4096;
  // The class's members reset the host's mouse pointer after the box.
  bool reset_mouse_pointer = false;
};

inline constexpr ErrorTrap member_msgbox_trap(OleStringView label) {
  return {TrapForm::kMsgBox, label, {}, 4096, true};
}
inline constexpr ErrorTrap member_errmsgbox_trap(OleStringView label) {
  return {TrapForm::kErrMsgBox, label, {}, 4096, true};
}
inline constexpr ErrorTrap errmsgbox_trap(OleStringView label, std::int32_t buttons = 4096) {
  return {TrapForm::kErrMsgBox, label, {}, buttons, false};
}
inline constexpr ErrorTrap errors_log_trap(OleStringView label, OleStringView source) {
  return {TrapForm::kErrorsLog, label, source};
}
inline constexpr ErrorTrap trace_trap(OleStringView label, OleStringView source) {
  return {TrapForm::kTrace, label, source};
}
inline constexpr ErrorTrap raise_trap(OleStringView label) {
  return {TrapForm::kRaise, label};
}
inline constexpr ErrorTrap direct_trap(OleStringView label, OleStringView source) {
  return {TrapForm::kDirect, label, source};
}

// "Error " number ": " description CR LF label CR LF "The error occured at line: " line
OleString standard_error_message(const AutomationError& error, OleStringView label);

// The error a raise-form trap hands on to its caller.
AutomationError raised_error(const AutomationError& error, OleStringView label);

// Ends an error in the trap's form (raises in the raise form).
void handle_trapped_error(const ErrorTrap& trap, const AutomationError& error);

template <class Body>
void trapped(const ErrorTrap& trap, Body&& body) {
  try {
    body();
  } catch (...) {
    handle_trapped_error(trap, current_exception_as_automation_error());
  }
}

}  // namespace corvane::modVBTrace
