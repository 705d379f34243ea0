#include "trace/summary_log.h"

#include "automation/error.h"
#include "automation/vb_text.h"
#include "platform/clock.h"
#include "platform/file_lock.h"
#include "platform/file_numbers.h"
#include "platform/numbers.h"
#include "platform/profiles.h"
#include "platform/text_encoding.h"
#include "trace/error_message.h"
#include "trace/error_trap.h"
#include "trace/locations.h"
#include "trace/log_files.h"
#include "trace/module_values.h"
#include "trace/trace_forwarding.h"
#include "trace/trace_log.h"
#include "trace/xml_error_log.h"

namespace corvane::modVBTrace {

namespace {

constexpr ErrorTrap kGlobalSummaryLogTrap =
    raise_trap(OLESTR("Corvane.modVBTrace.GlobalSummaryLog"));
constexpr ErrorTrap kSummaryLogMessageTrap =
    raise_trap(OLESTR("in Corvane.modVBTrace.SummaryLogMessage."));
constexpr ErrorTrap kWriteToSummaryLogTrap =
    raise_trap(OLESTR("in Corvane.modVBTrace.WriteToSummaryLog."));
constexpr ErrorTrap kWriteSessionStatTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.WriteSessionStat."));
constexpr ErrorTrap kReadSessionStatTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.sfnReadSessionStat."));
constexpr ErrorTrap kFieldNameTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.sfnSessionStatFieldName."));
constexpr ErrorTrap kIniNameTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.sfnSessionStatIniName."));
constexpr ErrorTrap kDetailLogNameTrap = trace_trap(
    OLESTR("in Corvane.modVBTrace.sfnDetailLogName."), OLESTR("modVBTrace.sfnDetailLogName"));

constexpr OleStringView kSection = OLESTR("SessionStats");
constexpr std::int32_t kScriptComparisonLog = 16;
constexpr std::size_t kProfileBuffer = 255;

void trace(OleStringView source, OleStringView message, std::int32_t level) {
  GlobalTrace(source, message, level, true, false, 1, false);
}

// The record IncrementFieldCount leaves in "PossibleErrors.log" when it fails.
void record_possible_error(const AutomationError& error) {
  try {
    const OleString path = possible_errors_path();
    if (path.empty()) return;
    print_line_to(path,
                  failure_record(OLESTR("modVBTrace.IncrementFieldCount"), error, Colon::kLocale));
  } catch (...) {
    // errors ignored
  }
}

}  // namespace

void GlobalErrorsLog(OleStringView sSource, OleStringView sMsg, std::int32_t eSeverity,
                     bool bSummaryLog, bool bXMLLog) {
  ModuleValues& values = module_values();
  try {
    OleString line = OLESTR("GlobalErrorsLog >>> ");
    line += sSource;
    line += u'\t';
    line += sMsg;
    line += OLESTR("\tSeverity: ");
    line += to_text(eSeverity);
    trace(OLESTR("modVBTrace.GlobalErrorsLog"), line, 2);
  } catch (...) {
  }
  if (!sMsg.empty() && sMsg.front() == u'\0') {
    try {
      GlobalLog(sMsg, false, false);
    } catch (...) {
    }
    return;
  }
  if (!values.log_folder.empty()) {
    try {
      if (bSummaryLog) GlobalSummaryLog(sSource, sMsg, true, true, true, false);
    } catch (...) {
    }
    try {
      if (bXMLLog) {
        OleString line, number, source, description;
        ParseErrorMessage(sMsg, line, number, source, description);
        AppendErrorNode(eSeverity, description, false, number, line, source);
      }
    } catch (...) {
    }
  }
  try {
    if (values.script_comparison_log_path.empty()) {
      values.script_comparison_log_path = sfnReadSessionStat(kScriptComparisonLog);
    }
  } catch (...) {
  }
  if (values.script_comparison_log_path.empty()) return;
  try {
    OleString record = OLESTR("\r\n");
    record += sSource;
    record += u'\t';
    record += sMsg;
    print_line_to(values.script_comparison_log_path, record);
  } catch (...) {
    try {
      const AutomationError error = current_exception_as_automation_error();
      OleString line = OLESTR("Error in GlobalErrorsLog >>\tError ");
      line += to_text(error.number());
      line += OLESTR(": \r\n");
      line += error.description();
      GlobalLog(line, false, false);
    } catch (...) {
    }
  }
}

void GlobalSummaryLog(OleStringView sSource, OleStringView sMsg, bool bLeadingBreak, bool bUnused,
                      bool bStamp, bool bAlsoTrace) {
  trapped(kGlobalSummaryLogTrap, [&] {
    if (!sMsg.empty() && sMsg.front() == u'\0') {
      GlobalLog(sMsg, false, false);
      return;
    }
    const OleString line = SummaryLogMessage(sSource, sMsg, bLeadingBreak, bUnused, bStamp);
    if (UseSendTrace()) {
      SendTraceStatement(line, 2, false);
    } else {
      WriteToSummaryLog(line);
    }
    if (bAlsoTrace) GlobalTrace(sSource, sMsg, 1, bStamp, false, 1, false);
  });
}

OleString SummaryLogMessage(OleStringView sSource, OleStringView sMsg, bool bLeadingBreak,
                            bool /*bUnused*/, bool bStamp) {
  OleString line;
  trapped(kSummaryLogMessageTrap, [&] {
    if (bLeadingBreak) line = OLESTR("\r\n");
    if (bStamp) line += SystemTimeStamp();
    line += u'\t';
    if (bStamp) {
      line += sfnProcessName();
      line += u'\t';
      line += sSource;
      line += OLESTR(": ");
    }
    line += u'\t';
    line += sMsg;
  });
  return line;
}

void WriteToSummaryLog(OleStringView sLine) {
  trapped(kWriteToSummaryLogTrap, [&] {
    const OleString& path = module_values().summary_log_path;
    if (path.empty()) return;
    if (!append_line_with_retries(path, sLine)) {
      OleString msg = OLESTR("Couldn't open log. Msg = ");
      msg += sLine;
      trace(OLESTR("modVBTrace.WriteToSummaryLog"), msg, 1);
    }
  });
}

void WriteSessionStat(std::int32_t eField, OleStringView sValue) {
  trapped(kWriteSessionStatTrap, [&] {
    OleString line = OLESTR("Writing stat ");
    line += to_text(eField);
    line += OLESTR(" to ");
    line += module_values().session_ini_path;
    line += OLESTR(": ");
    line += sValue;
    trace(OLESTR("modVBTrace.WriteSessionStat"), line, 4);
    if (!sfnSessionStatIniName().empty()) {
      platform::Profiles::current().write(module_values().session_ini_path, kSection,
                                          sfnSessionStatFieldName(eField), sValue);
    }
  });
}

OleString sfnReadSessionStat(std::int32_t eField) {
  OleString result;
  trapped(kReadSessionStatTrap, [&] {
    if (sfnSessionStatIniName().empty()) return;
    result = platform::Profiles::current().read(module_values().session_ini_path, kSection,
                                                sfnSessionStatFieldName(eField), OLESTR(""),
                                                kProfileBuffer);
  });
  return result;
}

OleString sfnSessionStatFieldName(std::int32_t eField) {
  static constexpr OleStringView kKeys[kSessionStatFields] = {OLESTR("SessionStartDate"),
                                                              OLESTR("SessionEndDate"),
                                                              OLESTR("SessionStartTime"),
                                                              OLESTR("SessionEndTime"),
                                                              OLESTR("Severity2Count"),
                                                              OLESTR("Severity3Count"),
                                                              OLESTR("Severity4Count"),
                                                              OLESTR("Machine"),
                                                              OLESTR("User"),
                                                              OLESTR("LogName"),
                                                              OLESTR("Version"),
                                                              OLESTR("Institution"),
                                                              OLESTR("LastUploadTime"),
                                                              OLESTR("LastUploadDate"),
                                                              OLESTR("NumDictationsUploaded"),
                                                              OLESTR("TotalDictationDurations"),
                                                              OLESTR("ScriptComparisonLog"),
                                                              OLESTR("CurrentDictation"),
                                                              OLESTR("Realm")};
  OleString result;
  trapped(kFieldNameTrap, [&] {
    if (eField >= 0 && eField < kSessionStatFields) result = OleString(kKeys[eField]);
  });
  return result;
}

void IncrementFieldCount(std::int32_t eField) {
  // How long an increment waits for another process's before it goes on
  // without the lock (and may then lose one count, as it could before).
  constexpr std::uint32_t kLockWaitMs = 10000;
  try {
    const OleStringView source = OLESTR("modVBTrace.IncrementFieldCount");
    if (eField == 4 || eField == 5 || eField == 6 || eField == 14) {
      trace(source, OLESTR("Before retreiving current fieldval"), 4);
      // The suite's other processes count in the same file: the read, the
      // addition and the write are one step for every process that locks.
      const platform::SharedFileLock lock(sfnSessionStatIniName(), kLockWaitMs);
      const OleString current = sfnReadSessionStat(eField);
      if (current.empty()) {
        WriteSessionStat(eField, OLESTR("1"));
        return;
      }
      const std::int32_t count = platform::long_from_text_or_raise(current);
      if (count == INT32_MAX) throw AutomationError(vb_error::kOverflow);
      WriteSessionStat(eField, to_text(count + 1));
    } else {
      trace(source, OLESTR("Unexpected field type."), 4);
      throw AutomationError(
          -1, OLESTR("Unexpected field type passed to IncrementFieldCount: ") + to_text(eField));
    }
  } catch (...) {
    record_possible_error(current_exception_as_automation_error());
  }
}

OleString sfnSessionStatIniName() {
  OleString result;
  trapped(kIniNameTrap, [&] {
    ModuleValues& values = module_values();
    if (values.session_ini_path.empty() && !values.log_folder.empty()) {
      values.session_ini_path = values.log_folder + OLESTR("\\Session.ini");
    }
    result = values.session_ini_path;
  });
  return result;
}

OleString sfnDetailLogName() {
  OleString result;
  trapped(kDetailLogNameTrap, [&] {
    const OleString& path = module_values().detail_log_path;
    // "/" separates folders too (on Linux, and in Windows paths written so).
    const std::size_t slash = path.find_last_of(OLESTR("\\/"));
    result = slash == OleString::npos ? path : path.substr(slash + 1);
  });
  return result;
}

}  // namespace corvane::modVBTrace
