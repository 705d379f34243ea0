#include "trace/message_boxes.h"

#include "automation/error.h"
#include "automation/vb_text.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/libraries.h"
#include "platform/message_box.h"
#include "platform/numbers.h"
#include "priority/priority_sdk.h"
#include "trace/crash_handling.h"
#include "trace/error_message.h"
#include "trace/error_trap.h"
#include "trace/locations.h"
#include "trace/log_files.h"
#include "trace/module_values.h"
#include "trace/summary_log.h"
#include "trace/trace_forwarding.h"
#include "trace/trace_log.h"
#include "trace/xml_error_log.h"

namespace corvane::modVBTrace {

namespace {

constexpr ErrorTrap kMsgboxReturnTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.sfnMsgboxReturn."), 4097);
constexpr ErrorTrap kInModalStateTrap = errors_log_trap(
    OLESTR("in Corvane.modVBTrace.InModalState."), OLESTR("modVBTrace.InModalState"));

constexpr OleStringView kMsgBoxSource = OLESTR("modVBTrace.MsgBox");
constexpr OleStringView kErrMsgBoxSource = OLESTR("modVBTrace.ErrMsgBox");
constexpr OleStringView kCrLf = OLESTR("\r\n");

void trace(OleStringView source, OleStringView message, std::int32_t level) {
  GlobalTrace(source, message, level, true, false, 1, false);
}

// MsgBox runs every step with errors ignored; the last error stays pending
// until a step that looks at it traces it and clears it.
class PendingError {
 public:
  template <class Step>
  void ignoring(Step&& step) {
    try {
      step();
    } catch (...) {
      error_ = current_exception_as_automation_error();
    }
  }
  void trace_and_clear() {
    if (!error_) return;
    ignoring([&] {
      trace(kMsgBoxSource,
            OLESTR("Error ") + to_text(error_->number()) + OLESTR(": ") + error_->description(), 2);
    });
    error_.reset();
  }

 private:
  std::optional<AutomationError> error_;
};

// The records MsgBox leaves before the box (`what` is "MSGBOX: " and the box
// text) and after it ("User clicked: " and the answer): summary log, detail
// log (or the trace viewer for both), then "PossibleErrors.log".
void write_box_records(PendingError& pending, OleStringView stamp, OleStringView what,
                       bool before_box) {
  const ModuleValues& values = module_values();
  bool to_viewer = false;
  pending.ignoring([&] { to_viewer = UseSendTrace(); });
  OleString stamped(stamp);
  stamped += u'\t';
  stamped += what;
  const OleString after_break = OleString(kCrLf) + stamped;
  if (!values.summary_log_path.empty()) {
    pending.ignoring([&] {
      if (to_viewer) {
        SendTraceStatement(after_break, 2, false);
      } else {
        print_line_to(values.summary_log_path, after_break);
      }
    });
  }
  if (!values.detail_log_path.empty()) {
    pending.ignoring([&] {
      if (!to_viewer) {
        print_line_to(values.detail_log_path, stamped);
      } else {
        SendTraceStatement(before_box ? after_break : stamped, 1, false);
      }
    });
  }
  const OleString possible_errors = possible_errors_path();
  if (!possible_errors.empty()) {
    pending.ignoring([&] {
      print_line_to(possible_errors, OleString(kCrLf) + OleString(stamp) + OLESTR("\tMsgbox in ") +
                                         values.detail_log_path);
    });
    pending.ignoring([&] { print_line_to(possible_errors, stamped); });
  }
}

// An ErrMsgBox call made while one runs is only noted in "PossibleErrors.log".
void record_reentry(OleStringView sMsg) {
  try {
    const OleString path = possible_errors_path();
    if (path.empty()) return;
    print_line_to(path, clock_time_text(Colon::kLocale) +
                            OLESTR("\tREENTERING ERRMSGBOX!!!\r\nMessage Passed:\r\n") +
                            OleString(sMsg));
  } catch (...) {
    // errors ignored
  }
}

// What the trap of ErrMsgBox leaves behind.
void record_errmsgbox_failure(const AutomationError& error) {
  try {
    const OleString record = failure_record(OLESTR("ERROR IN ERRMSGBOX"), error, Colon::kLocale);
    if (UseSendTrace()) {
      SendTraceToBothLogs(record);
    } else if (const OleString path = possible_errors_path(); !path.empty()) {
      print_line_to(path, record);
    }
  } catch (...) {
    // errors ignored
  }
}

}  // namespace

OleString sfnMsgboxReturn(std::int32_t vResult) {
  OleString name;
  trapped(kMsgboxReturnTrap, [&] {
    switch (vResult) {  // the order the answers are asked in: 1, 6, 7, 3, 5, 4, 2
      case 1:
        name = OLESTR("OK");
        break;
      case 6:
        name = OLESTR("YES");
        break;
      case 7:
        name = OLESTR("NO");
        break;
      case 3:
        name = OLESTR("ABORT");
        break;
      case 5:
        name = OLESTR("IGNORE");
        break;
      case 4:
        name = OLESTR("RETRY");
        break;
      case 2:
        name = OLESTR("CANCEL");
        break;
      default:
        name = OLESTR("Code ") + to_text(vResult);
        break;
    }
  });
  return name;
}

OleString sfnFormatMsgboxForLog(OleStringView sMsg) {
  OleString result;
  try {
    // The positions are 16-bit: a line break that starts at character 32,766
    // or later overflows them.
    constexpr std::size_t kLastPosition = 32766;
    std::size_t at = 0;
    for (std::size_t crlf; (crlf = sMsg.find(OLESTR("\r\n"), at)) != OleStringView::npos;) {
      if (crlf + 1 >= kLastPosition) throw AutomationError(vb_error::kOverflow);
      result += sMsg.substr(at, crlf - at);
      result += OLESTR("\r\n\t\t\t");
      at = crlf + 2;
    }
    result += sMsg.substr(at);
  } catch (...) {
    const AutomationError error = current_exception_as_automation_error();
    OleString message =
        OLESTR("Error ") + to_text(error.number()) + OLESTR(": ") + error.description() +
        OLESTR(
            "\r\nin Corvane.modVBTrace.sfnFormatMsgboxForLog.\r\n"
            "The processed message was: ") +
        OleString(sMsg) + OLESTR("The error occured at line: ") + to_text(error.line());
    GlobalErrorsLog(OLESTR("modVBTrace.sfnFormatMsgboxForLog"), message, 2, true, true);
    result = OleString(sMsg);
  }
  return result;
}

bool bfnMsgBoxesAllowed() {
  try {
    return !platform::Files::current().exists(AppPath() + OLESTR("\\NoMsgBox.flg"),
                                              platform::kNormalFile);
  } catch (...) {
    return true;  // errors ignored: a failure before the test leaves boxes allowed
  }
}

std::int32_t MsgBox(OleStringView sPrompt, std::int32_t lButtons,
                    std::optional<OleStringView> vTitle, std::int32_t eSeverity) {
  PendingError pending;
  pending.ignoring([] {
    if (modPrioritySDK::bfnPriorityIsDangerous()) modPrioritySDK::SetNormalPriority({}, {}, false);
  });
  pending.trace_and_clear();

  OleString stamp, logged_text;
  pending.ignoring([&] { stamp = SystemTimeStamp(); });
  pending.ignoring([&] { logged_text = sfnFormatMsgboxForLog(sPrompt); });
  write_box_records(pending, stamp, OLESTR("MSGBOX: ") + logged_text, true);

  if (eSeverity < 5) {
    pending.ignoring([] { IncrementFieldCount(5); });
    pending.trace_and_clear();
    pending.ignoring([] { trace(kMsgBoxSource, OLESTR("Calling AppendErrorNode"), 4); });
    pending.ignoring(
        [&] { AppendErrorNode(eSeverity, sPrompt, true, OLESTR(""), OLESTR(""), OLESTR("")); });
    pending.trace_and_clear();
  } else {
    pending.ignoring([&] { trace(kMsgBoxSource, OLESTR("Severity: ") + to_text(eSeverity), 4); });
  }

  OleString shown;
  pending.ignoring([&] { shown = sfnStripScribePrefix(sPrompt); });
  std::int32_t result = 0;
  pending.ignoring([&] {
    if (!bfnMsgBoxesAllowed()) {
      result = 1;
      return;
    }
    platform::Environment& events = platform::Environment::current();
    std::intptr_t busy = 0;
    bool existed = false;
    pending.ignoring([&] { busy = events.create_event(OLESTR("QuillonBusyEvent"), &existed); });
    pending.ignoring([&] {
      result = platform::MessageBoxes::current().show(shown, vTitle.value_or(OLESTR("Quillon MT")),
                                                      lButtons);
    });
    if (busy != 0) {
      pending.ignoring([&] { events.signal_event(busy); });
      pending.ignoring([&] { events.close_event(busy); });
    } else {
      pending.ignoring([] {
        GlobalErrorsLog(kMsgBoxSource, OLESTR("Unable to create MsgBox event"), 2, true, true);
      });
    }
  });

  OleString answer;
  pending.ignoring([&] { stamp = SystemTimeStamp(); });
  pending.ignoring([&] { answer = sfnMsgboxReturn(result); });
  write_box_records(pending, stamp, OLESTR("User clicked: ") + answer, false);
  pending.ignoring([&] {
    if (UseSendTrace()) return;
    WriteToDebugOutput(OLESTR("MSGBOX: ") + logged_text + OLESTR("\r\n\t\t\tUser clicked: ") +
                       answer);
  });
  return result;
}

std::int32_t ErrMsgBox(OleString& sMsg, std::int32_t /*vButtons*/, OleStringView /*vTitle*/,
                       bool /*bShowDetails*/) {
  std::int32_t result = 1;
  ModuleValues& values = module_values();
  if (values.in_errmsgbox.value_or(false)) {
    record_reentry(sMsg);
    return 1;
  }
  values.in_errmsgbox = true;
  try {
    std::int32_t severity = 2;
    bool fatal = false;
    IncrementFieldCount(4);
    OleString line, number, source, description;
    ParseErrorMessage(sMsg, line, number, source, description);
    number = trim_blanks(number);

    const OleString app = AppName();
    const OleString twice = OleString(kCrLf) + OleString(kCrLf);
    OleString text;
    if (number == OLESTR("458")) {
      text = app + OLESTR(" has encountered an unexpected problem:") + twice + sMsg + twice +
             OLESTR("Please check to make sure that ") + app + OLESTR(" is properly installed.") +
             twice + OLESTR("Press OK to continue.");
    } else if (const bool numbered_fatal = platform::long_from_text_or_raise(number) == 10000;
               // both sides asked, as the runtime's Or does: the crash check
               // leaves its trace line also for error 10000
               bfnCrashDetected() || numbered_fatal) {
      fatal = true;
      severity = 1;
      text = app + OLESTR(" has encountered a system error which prevents it from continuing:") +
             twice + sMsg + twice + app +
             OLESTR(" will now attempt to restart and recover your data.") + twice +
             OLESTR(
                 "The details of this error have been sent to Orlanth | Marrowind for further "
                 "analysis.  We are very sorry for the inconvenience.");
    } else {
      if (bfnRemoteCallError(sMsg)) {
        const OleString abends = sfnAbendInfo();
        if (!abends.empty()) {
          sMsg = OLESTR("After prior process terminations: ") + sMsg +
                 OLESTR("\r\nProcess termination details: ") + abends;
        } else {
          sMsg = OLESTR("After no other process terminations: ") + sMsg;
        }
        description.clear();
        for (std::size_t at = 0;;) {
          const std::size_t crlf = sMsg.find(kCrLf, at);
          description.append(sMsg, at, crlf == OleString::npos ? OleString::npos : crlf - at);
          if (crlf == OleString::npos) break;
          description += OLESTR("  ");
          at = crlf + 2;
        }
      }
      text = app +
             OLESTR(
                 " has encountered an unexpected problem.  The details of the problem are "
                 "displayed below and have been sent to Orlanth | Marrowind for review.") +
             twice + OLESTR("You may continue to work within ") + app +
             OLESTR(".  If you continue to have problems with ") + app +
             OLESTR(", please contact your IT Support Staff for assistance.") + twice +
             OLESTR("Problem details sent to Orlanth | Marrowind: \r\n") + sMsg;
    }

    AppendErrorNode(severity, description, bfnErrorBoxesEnabled(), number, line, source);
    trace(kErrMsgBoxSource, OLESTR("Before displaying msg."), 4);
    if (bfnErrorBoxesEnabled()) {
      result = MsgBox(text, 4096, OleStringView(app + OLESTR(" Warning Message")), 2);
    }
    trace(kErrMsgBoxSource, OLESTR("After displaying msg."), 4);
    if (fatal) {
      try {
        platform::Files::current().remove_file(CrashHandlerFile());
      } catch (...) {
      }
      try {
        std::int32_t pid = 0;
        CallTerminateQuillon(pid, false, true, true);
      } catch (...) {
      }
    }
    values.in_errmsgbox = false;
  } catch (...) {
    values.in_errmsgbox = false;
    record_errmsgbox_failure(current_exception_as_automation_error());
  }
  return result;
}

bool InModalState() {
  bool result = false;
  trapped(kInModalStateTrap, [&] {
    if (platform::processing_sent_message()) {
      result = true;
      return;
    }
    trace(OLESTR("modVBTrace.InModalState"), OLESTR("Calling CanRaiseEventOnCurrentSTAThread"), 4);
    std::int32_t answer = 0;
    if (const std::int32_t error = platform::call_library_function(
            OLESTR("rodevuzudov.dll"), "CanRaiseEventOnCurrentSTAThread", 0, answer)) {
      throw AutomationError(error);
    }
    result = answer == 0;
  });
  return result;
}
}  // namespace corvane::modVBTrace
