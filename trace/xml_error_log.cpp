#include "trace/xml_error_log.h"

#include <cstdio>

#include "automation/error.h"
#include "automation/vb_text.h"
#include "platform/automation_objects.h"
#include "platform/clock.h"
#include "platform/dates.h"
#include "platform/file_lock.h"
#include "platform/file_numbers.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/module_info.h"
#include "platform/numbers.h"
#include "platform/processes.h"
#include "platform/text_encoding.h"
#include "trace/crash_handling.h"
#include "trace/error_trap.h"
#include "trace/locations.h"
#include "trace/log_files.h"
#include "trace/message_boxes.h"
#include "trace/module_values.h"
#include "trace/process_launching.h"
#include "trace/summary_log.h"
#include "trace/trace_forwarding.h"
#include "trace/trace_log.h"

namespace corvane::modVBTrace {

namespace {

// How long a record waits for another process's before it is written without
// the lock.
constexpr std::uint32_t kErrorsFileLockWaitMs = 10000;

constexpr ErrorTrap kErrorLogPathTrap =
    raise_trap(OLESTR("in Corvane.modVBTrace.GetErrorLogFullPath."));
constexpr ErrorTrap kCompleteNodeTrap = raise_trap(OLESTR("in Corvane.modVBTrace.CompleteNode."));
constexpr ErrorTrap kGoodDataTypeTrap =
    raise_trap(OLESTR("in Corvane.modVBTrace.bfnGoodDataType."));
constexpr ErrorTrap kEncodeForXMLTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.EncodeForXML."));
constexpr ErrorTrap kEncodeInternalTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.EncodeForInternalXML."));
constexpr ErrorTrap kVersionTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.XMLVersionStatement."));
constexpr ErrorTrap kNodeStartTrap = errmsgbox_trap(OLESTR("in Corvane.modVBTrace.NodeStart."));
constexpr ErrorTrap kNodeEndTrap = errmsgbox_trap(OLESTR("in Corvane.modVBTrace.NodeEnd."));
constexpr ErrorTrap kParseSourceTrap = trace_trap(OLESTR("in Corvane.modVBTrace.ParseErrorSource."),
                                                  OLESTR("modVBTrace.ParseErrorSource"));

constexpr OleStringView kAppendSource = OLESTR("modVBTrace.AppendErrorNode");
constexpr OleStringView kWriteSource = OLESTR("modVBTrace.WriteErrorNode");
constexpr OleStringView kCrLf = OLESTR("\r\n");

void trace(OleStringView source, OleStringView message, std::int32_t level) {
  GlobalTrace(source, message, level, true, false, 1, false);
}

// Every occurrence of `from` replaced by `to`, left to right, case-sensitive.
OleString replace_all(OleStringView text, OleStringView from, OleStringView to) {
  OleString result;
  std::size_t at = 0;
  for (std::size_t found; (found = text.find(from, at)) != OleStringView::npos;) {
    result += text.substr(at, found - at);
    result += to;
    at = found + from.size();
  }
  result += text.substr(at);
  return result;
}

OleString indentation(std::int32_t lIndent) {
  return OleString(static_cast<std::size_t>(lIndent > 0 ? lIndent : 0) * 4, u' ');
}

// "mm/dd/yyyy hh:nn:ss", the separators literal whatever the locale; the date
// and the time are read one after the other.
OleString first_occurrence_text() {
  platform::Clock& clock = platform::Clock::current();
  const platform::LocalTime date = clock.local_time();
  const platform::LocalTime time = clock.local_time();
  char text[48];
  std::snprintf(text, sizeof text, "%02u/%02u/%04u %02u:%02u:%02u", unsigned{date.month},
                unsigned{date.day}, unsigned{date.year}, unsigned{time.hour}, unsigned{time.minute},
                unsigned{time.second});
  return from_utf8(text);
}

// Asks the hang dumper (while no event may be raised here) or the debugger
// object for a dump of this error.
void request_hang_dump(OleStringView sErrNum, OleStringView sRoutine) {
  OleString about = OLESTR(".  sErrNum = ");
  about += sErrNum;
  about += OLESTR(". sRoutine = ");
  about += sRoutine;
  if (InModalState()) {
    trace(kAppendSource, OLESTR("Shelling to QLMTHangDumper") + about, 2);
    OleString command = AppPath();
    command += OLESTR("\\QLMTHangDumper.exe Routine=");
    command += trim_blanks(sRoutine);
    command += OLESTR(" ErrNumToCheck=");
    command += trim_blanks(sErrNum);
    SyncShell(command, 0, false, false);
    trace(kAppendSource, OLESTR("After shelling to QLMTHangDumper"), 2);
  } else {
    trace(kAppendSource, OLESTR("Calling DoHangDumpIfNecessary") + about, 2);
    platform::AutomationObjects::current().call(module_values().debugger_object,
                                                OLESTR("DoHangDumpIfNecessary"),
                                                {OleString(sErrNum), OleString(sRoutine)},
                                                platform::AutomationObjects::Passing::kByReference);
    trace(kAppendSource, OLESTR("After calling DoHangDumpIfNecessary.  err.Number = 0"), 2);
  }
}

// Ends the process after the crash box when the suite left "Crash.flg".
void check_crash_flag() {
  bool crashed = false;
  try {
    crashed =
        platform::Files::current().exists(AppPath() + OLESTR("\\Crash.flg"), platform::kAnyEntry);
  } catch (...) {
    // errors ignored: no flag seen
  }
  if (!crashed) {
    try {
      trace(kAppendSource, OLESTR("Exiting sub."), 4);
    } catch (...) {
    }
    return;
  }
  try {
    platform::MessageBoxes::current().show(
        OLESTR("Quillon MT has encountered an error from which it cannot recover.  Please close "
               "all your programs and restart your machine."),
        OLESTR("Quillon"), 16);
    trace(kAppendSource, OLESTR("Exiting process as a result of a crash."), 2);
  } catch (...) {
  }
  platform::Processes::current().exit_process(0, false);
}

// What the trap of AppendErrorNode leaves behind.
void record_append_failure(const AutomationError& error) {
  try {
    const OleString record = failure_record(kAppendSource, error, Colon::kLiteral);
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

void AppendErrorNode(std::int32_t eSeverity, OleStringView sDescription, bool bDisplayedToUser,
                     OleStringView sErrNum, OleStringView sLineNumber, OleStringView sRoutine,
                     std::optional<OleStringView> vDetailLogName) {
  try {
    trace(kAppendSource, OLESTR("Entering sub."), 4);
    if (module_values().log_folder.empty()) {
      trace(kAppendSource,
            OLESTR("Exiting because no global log file path.  Original error: ") +
                OleString(sDescription),
            2);
      return;
    }
    const OleString first_occurrence = first_occurrence_text();
    OleString detail_log_name;
    if (vDetailLogName) {
      detail_log_name = *vDetailLogName;
    } else {
      detail_log_name = sfnDetailLogName();
      if (detail_log_name.empty()) {
        trace(kAppendSource,
              OLESTR("Unable to retrieve detail log name from which to derive errors file. "
                     "Default to PossibleErrors.log"),
              2);
        detail_log_name = OLESTR("PossibleErrors.log");
      }
    }
    const OleString description = EncodeForXML(sDescription);
    auto proc_line = [&](OleStringView when) {
      if (!trace_level_enabled(4)) return;
      OleString line = OLESTR("From proc: ");
      line += sRoutine;
      line += OLESTR(" (linenum: ");
      line += sLineNumber;
      line += OLESTR(")... ");
      line += when;
      line += OLESTR(" writing the following description: ");
      line += description;
      trace(kAppendSource, line, 4);
    };
    proc_line(OLESTR("Before"));
    OleString module, member;
    ParseErrorSource(sRoutine, module, member);
    const OleString component =
        platform::file_base_name(platform::ModuleInfo::current().own_file_path());
    WriteErrorNode(detail_log_name, first_occurrence, to_text(eSeverity), bDisplayedToUser, sErrNum,
                   description, component, module, member, sLineNumber);
    // A request that itself ends in a report (the modal-state library is
    // missing and its failure is logged) asks for no second dump.
    bool& requesting = module_values().in_hang_dump_request;
    if (!requesting && MonitorForHangDumps()) {
      requesting = true;
      struct Done {
        bool& flag;
        ~Done() { flag = false; }
      } done{requesting};
      request_hang_dump(sErrNum, sRoutine);
    }
    proc_line(OLESTR("After"));
  } catch (...) {
    record_append_failure(current_exception_as_automation_error());
    return;
  }
  check_crash_flag();
}

void WriteErrorNode(OleString& sDetailLogName, OleStringView sFirstOccurrence,
                    OleStringView sSeverity, bool bDisplayedToUser, OleStringView sErrNum,
                    OleStringView sDescription, OleStringView sComponent, OleStringView sModule,
                    OleStringView sMember, OleStringView sLineNumber) {
  try {
    const int number = platform::FreeFile();
    const OleString path = GetErrorLogFullPath(sDetailLogName);
    const bool to_viewer = UseSendTrace();
    // The suite's processes share one errors file: a record is written in
    // two or three pieces (the heading of a new file, then the record), and
    // whether the file is new is asked first, so each writer has the file to
    // itself from that question to its close.
    std::optional<platform::SharedFileLock> lock;
    if (!to_viewer) lock.emplace(path, kErrorsFileLockWaitMs);
    std::optional<platform::OpenFileNumber> file;
    auto open = [&] {
      if (const std::int32_t error = platform::open_for_append(number, path))
        throw AutomationError(error);
      file.emplace(number);
    };
    if (!platform::Files::current().exists(path, platform::kNormalFile)) {
      trace(kWriteSource, OLESTR("Attempting to open: ") + path, 2);
      if (to_viewer) {
        SendTraceStatement(XMLVersionStatement(), 3, false);
        SendTraceStatement(NodeStart(OLESTR("Errors"), 0), 3, false);
      } else {
        open();
        platform::print_bytes(number, platform::to_ansi(XMLVersionStatement() + OleString(kCrLf)));
        platform::print_bytes(number,
                              platform::to_ansi(NodeStart(OLESTR("Errors"), 0) + OleString(kCrLf)));
      }
    } else if (!to_viewer) {
      open();
    }
    const OleStringView displayed = bDisplayedToUser ? OLESTR("Y") : OLESTR("N");
    if (trace_level_enabled(4)) {
      OleString line = OLESTR("Writing error for: ");
      line += sComponent;
      line += u'.';
      line += sModule;
      line += u'.';
      line += sMember;
      line += u'.';
      line += sLineNumber;
      line += OLESTR(": ");
      line += sDescription;
      trace(kWriteSource, line, 4);
    }
    struct Element {
      OleStringView name;
      OleStringView value;
      std::int32_t type;
    };
    const Element elements[] = {{OLESTR("firstOccurrence"), sFirstOccurrence, 2},
                                {OLESTR("severity"), sSeverity, 1},
                                {OLESTR("displayedToUser"), displayed, 0},
                                {OLESTR("errorNumber"), sErrNum, 1},
                                {OLESTR("errorDescription"), sDescription, 0},
                                {OLESTR("component"), sComponent, 0},
                                {OLESTR("module"), sModule, 0},
                                {OLESTR("member"), sMember, 0},
                                {OLESTR("lineNumber"), sLineNumber, 1},
                                {OLESTR("count"), OLESTR("1"), 0}};
    OleString record = NodeStart(OLESTR("error"), 1);
    for (const Element& e : elements) {
      record += kCrLf;
      record += CompleteNode(e.name, e.value, 2, e.type);
    }
    record += kCrLf;
    record += NodeEnd(OLESTR("error"), 1);
    if (to_viewer) {
      SendTraceStatement(record, 3, false);
    } else {
      platform::print_bytes(number, platform::to_ansi(record + OleString(kCrLf)));
      file->close();
    }
    trace(kWriteSource, OLESTR("Closing file"), 4);
  } catch (...) {
    try {
      const AutomationError error = current_exception_as_automation_error();
      const OleString detail =
          OLESTR("Unable to log to Quillon MT Error Table.  ") +
          standard_error_message(error, OLESTR("in Corvane.modVBTrace.WriteErrorNode."));
      trace(kWriteSource, detail, 2);
      platform::MessageBoxes::current().show(
          OLESTR("Quillon MT has encountered an unexpected error.  You may continue to work.  If "
                 "you continue to have problems  with Quillon, please contact your IT Support "
                 "Staff for assistance.  The details of the error are shown below: \r\n\r\n") +
              detail,
          OLESTR("Quillon MT Warning"), 4096);
    } catch (...) {
      // the record is lost; the caller goes on
    }
  }
}

OleString GetErrorLogFullPath(OleString& sDetailLogName) {
  OleString path;
  trapped(kErrorLogPathTrap, [&] {
    if (const std::size_t slash = sDetailLogName.find_last_of(OLESTR("\\/"));
        slash != OleString::npos)
      sDetailLogName.erase(0, slash + 1);
    ModuleValues& values = module_values();
    if (!values.errors_folder) {
      values.errors_folder = replace_all(values.log_folder, OLESTR("\\Logs"), OLESTR("\\Errors"));
      try {
        platform::Files::current().create_directory(*values.errors_folder);
      } catch (...) {
        // an existing folder or a failure is noticed by the open
      }
    }
    const OleString folder = *values.errors_folder + OLESTR("\\");
    const OleString name = replace_all(sDetailLogName, OLESTR(".log"), OLESTR("Errors.log"));
    path = folder + name;
    // A log folder without "\Logs" and a detail log without ".log" would make
    // the errors file the detail log itself.
    if (platform::names_same_file(path, values.detail_log_path)) path += OLESTR("Errors.log");
  });
  return path;
}

void ParseErrorSource(OleStringView sRoutine, OleString& sModule, OleString& sMember) {
  trapped(kParseSourceTrap, [&] {
    if (trim_blanks(sRoutine).empty()) {
      sModule.clear();
      sMember.clear();
      return;
    }
    const std::size_t p = sRoutine.find_last_of(u'.');
    if (p == OleStringView::npos) {
      sMember = sRoutine;
      sModule = OLESTR("*");
      return;
    }
    sMember = trim_blanks(sRoutine.substr(p + 1));
    const std::size_t q = p == 0 ? OleStringView::npos : sRoutine.find_last_of(u'.', p - 1);
    sModule = q == OleStringView::npos ? sRoutine.substr(0, p) : sRoutine.substr(q + 1, p - q - 1);
  });
}

OleString EncodeForInternalXML(OleStringView sText) {
  OleString result;
  trapped(kEncodeInternalTrap, [&] {
    result.reserve(sText.size());
    // One pass gives what replacing "&" first and then the others gives.
    for (const OLECHAR c : sText) {
      switch (c) {
        case u'&':
          result += OLESTR("&amp;");
          break;
        case u'"':
          result += OLESTR("&quot;");
          break;
        case u'\'':
          result += OLESTR("&apos;");
          break;
        case u'<':
          result += OLESTR("&lt;");
          break;
        case u'>':
          result += OLESTR("&gt;");
          break;
        default:
          result += c;
      }
    }
  });
  return result;
}

OleString EncodeForXML(OleStringView sText) {
  OleString result;
  trapped(kEncodeForXMLTrap,
          [&] { result = replace_all(EncodeForInternalXML(sText), kCrLf, OLESTR("\t")); });
  return result;
}

OleString XMLVersionStatement() {
  OleString result;
  trapped(kVersionTrap, [&] { result = OLESTR("<?xml version=\"1.0\" standalone=\"yes\" ?>"); });
  return result;
}

OleString NodeStart(OleStringView sName, std::int32_t lIndent) {
  OleString result;
  trapped(kNodeStartTrap, [&] {
    result = indentation(lIndent) + OLESTR("<");
    result += sName;
    result += u'>';
  });
  return result;
}

OleString NodeEnd(OleStringView sName, std::int32_t lIndent) {
  OleString result;
  trapped(kNodeEndTrap, [&] {
    result = indentation(lIndent) + OLESTR("</");
    result += sName;
    result += u'>';
  });
  return result;
}

OleString CompleteNode(OleStringView sName, OleStringView sValue, std::int32_t lIndent,
                       std::int32_t eDataType) {
  OleString result;
  trapped(kCompleteNodeTrap, [&] {
    result = indentation(lIndent) + OLESTR("<");
    result += sName;
    if (!bfnGoodDataType(sValue, eDataType)) {
      if (trace_level_enabled(4)) {
        trace(OLESTR("modVBTrace.CompleteNode"),
              OleString(sValue) + OLESTR(" is not a legal value for: ") + OleString(sName), 4);
      }
      result += OLESTR("/>");
    } else if (!sValue.empty()) {
      result += u'>';
      result += sValue;
      result += OLESTR("</");
      result += sName;
      result += u'>';
    } else {
      result += OLESTR("/>");
    }
  });
  return result;
}

bool bfnGoodDataType(OleStringView sValue, std::int32_t eDataType) {
  bool good = false;
  trapped(kGoodDataTypeTrap, [&] {
    switch (eDataType) {
      case 0:
        good = true;
        return;
      case 1:
        good = platform::is_numeric_text(sValue);
        break;
      case 2:
        good = platform::is_date_text(sValue);
        break;
      default:
        GlobalErrorsLog(OLESTR("modVBTrace.bfnGoodDataType"),
                        OLESTR("Unexpected data type: ") + to_text(eDataType), 2, true, true);
        good = true;
        return;
    }
    if (!good && trace_level_enabled(4)) {
      trace(OLESTR("modVBTrace.bfnGoodDataType"), OleString(sValue) + OLESTR(" is not numeric."),
            4);
    }
  });
  return good;
}

void SendTraceToBothLogs(OleStringView sText) {
  try {
    SendTraceStatement(sText, 1, false);
  } catch (...) {
  }
  try {
    SendTraceStatement(sText, 2, false);
  } catch (...) {
  }
}

}  // namespace corvane::modVBTrace
