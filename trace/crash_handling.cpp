#include "trace/crash_handling.h"

#include "automation/error.h"
#include "automation/vb_text.h"
#include "platform/automation_objects.h"
#include "platform/files.h"
#include "platform/libraries.h"
#include "platform/numbers.h"
#include "platform/processes.h"
#include "platform/profiles.h"
#include "platform/text_encoding.h"
#include "trace/error_trap.h"
#include "trace/locations.h"
#include "trace/module_values.h"
#include "trace/summary_log.h"
#include "trace/trace_log.h"

namespace corvane::modVBTrace {

namespace {

constexpr ErrorTrap kCrashDetectedTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.bfnCrashDetected."));
constexpr ErrorTrap kUploadEnabledTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.UploadEnabled."));
constexpr ErrorTrap kRemoteCallTrap = trace_trap(
    OLESTR("in Corvane.modVBTrace.bfnRemoteCallError."), OLESTR("modVBTrace.bfnRemoteCallError"));
constexpr ErrorTrap kAbendInfoTrap =
    trace_trap(OLESTR("in Corvane.modVBTrace.sfnAbendInfo."), OLESTR("modVBTrace.sfnAbendInfo"));
constexpr ErrorTrap kMonitorTrap = trace_trap(OLESTR("in Corvane.modVBTrace.MonitorForHangDumps."),
                                              OLESTR("modVBTrace.MonitorForHangDumps"));
constexpr ErrorTrap kDiagnoseTrap =
    trace_trap(OLESTR("in Corvane.modVBTrace.DiagnoseThisComponent."),
               OLESTR("modVBTrace.DiagnoseThisComponent"));
constexpr ErrorTrap kDebuggerTrap =
    trace_trap(OLESTR("in Corvane.modVBTrace.DebuggerObjectInitialized."),
               OLESTR("modVBTrace.DebuggerObjectInitialized"));

constexpr ErrorTrap kTerminateTrap =
    errors_log_trap(OLESTR("in Corvane.modVBTrace.CallTerminateQuillon."),
                    OLESTR("modVBTrace.CallTerminateQuillon"));

}  // namespace

void CallTerminateQuillon(std::int32_t& lPID, bool bUserShutdown, bool bRestart,
                          bool bExitProcess) {
  const OleStringView source = OLESTR("modVBTrace.CallTerminateQuillon");
  auto trace = [&](OleStringView text) { GlobalTrace(source, text, 2, true, false, 1, false); };
  trapped(kTerminateTrap, [&] {
    trace(OLESTR("Entering sub."));
    platform::Files& files = platform::Files::current();
    platform::Processes& processes = platform::Processes::current();
    const OleString pid_file = AppPath() + OLESTR("\\WordPID.txt");
    OleString sRec;
    if (files.exists(pid_file, platform::kHidden)) {
      files.clear_attributes(pid_file);
      const OleString text = platform::from_ansi(files.read_all(pid_file).value_or(std::string()));
      sRec = text.substr(0, text.find_first_of(OLESTR("\r\n")));
    }
    const std::uint32_t own_pid = processes.current_process_id();
    trace(OLESTR("sRec = ") + sRec + OLESTR(".CurrentProcessID: ") + to_text(own_pid));
    if (const std::int32_t error =
            platform::call_library_function(OLESTR("QuillonUtilsV8.dll"), "TerminateQuillon",
                                            platform::to_ansi(module_values().detail_log_path),
                                            static_cast<std::int32_t>(own_pid), 0)) {
      throw AutomationError(error);
    }
    if (platform::is_numeric_text(sRec)) lPID = platform::long_from_text_or_raise(sRec);
    if (bRestart) {
      const OleString program = ModulePath() + OLESTR("\\QuillonMT.exe");
      if (!files.exists(program, platform::kNormalFile)) {
        GlobalErrorsLog(source, OLESTR("Couldn't find ") + program, 2, true, true);
      } else {
        trace(OLESTR("Shelling to QuillonMT to restart"));
      }
      const OleString command = OLESTR("\"") + program + OLESTR("\" PID=") + to_text(lPID) +
                                OLESTR(" USERSHUTDOWN=") +
                                (bUserShutdown ? OLESTR("True") : OLESTR("False"));
      if (processes.shell(command, 2) != 0) throw AutomationError(vb_error::kFileNotFound);
    }
    if (bExitProcess) {
      trace(OLESTR("Exiting process"));
      processes.exit_process(0, true);
    }
  });
}

bool bfnCrashDetected() {
  bool result = false;
  trapped(kCrashDetectedTrap, [&] {
    if (platform::Files::current().exists(CrashHandlerFile(), platform::kNormalFile)) {
      GlobalTrace(OLESTR("modVBTrace.bfnCrashDetected"), OLESTR("Detected crash."), 2, true, false,
                  1, false);
      result = true;
    }
  });
  return result;
}

bool bfnRemoteCallError(OleStringView sMsg) {
  bool result = false;
  trapped(kRemoteCallTrap, [&] {
    result = instr(sMsg, OLESTR("remote server machine does not exist or is unavailable"), 1,
                   CompareMode::kText) != 0 ||
             instr(sMsg, OLESTR("2147023170: Automation error"), 1, CompareMode::kText) != 0;
  });
  return result;
}

OleString sfnAbendInfo() {
  OleString result;
  trapped(kAbendInfoTrap, [&] {
    const std::optional<std::string> text =
        platform::Files::current().read_all(AppPath() + OLESTR("\\Abends.txt"));
    if (!text) return;
    const OleString all = platform::from_ansi(*text);
    std::size_t start = 0;
    while (start < all.size()) {
      std::size_t end = all.find_first_of(OLESTR("\r\n"), start);
      if (end == OleString::npos) end = all.size();
      const OleStringView line(all.data() + start, end - start);
      result = result.empty() ? OleString(line) : result + OLESTR(", ") + OleString(line);
      // One line break: CR LF, or LF alone.
      start = end + ((end + 1 < all.size() && all[end] == u'\r' && all[end + 1] == u'\n') ? 2 : 1);
    }
  });
  return result;
}

bool UploadEnabled() {
  bool result = false;
  trapped(kUploadEnabledTrap, [&] {
    OleString name(trim_blanks(AppName()));
    for (OLECHAR& c : name) {
      if (c >= u'a' && c <= u'z') c = static_cast<OLECHAR>(c - 32);
    }
    result = name == OLESTR("QUILLON");
  });
  return result;
}

bool MonitorForHangDumps() {
  bool result = false;
  trapped(kMonitorTrap, [&] {
    std::optional<bool>& flag = module_values().hang_monitor;
    if (flag) {
      result = *flag;
      return;
    }
    if (!platform::Files::current().exists(AppPath() + OLESTR("\\DebugInfo.flg"),
                                           platform::kNormalFile))
      return;
    flag = DiagnoseThisComponent() && DebuggerObjectInitialized();
    result = *flag;
  });
  return result;
}

bool DiagnoseThisComponent() {
  bool result = false;
  trapped(kDiagnoseTrap, [&] {
    const OleString value = platform::Profiles::current().read(
        AppPath() + OLESTR("\\DebugInfo.ini"), OLESTR("DebugInfo"), OLESTR("ErrorsToDiagnose"),
        OLESTR(""), 1024);
    if (value.empty()) return;
    result = instr(value, sfnProcessName(), 1, CompareMode::kText) != 0;
  });
  return result;
}

bool DebuggerObjectInitialized() {
  bool result = false;
  trapped(kDebuggerTrap, [&] {
    platform::AutomationObjects& objects = platform::AutomationObjects::current();
    std::intptr_t& debugger = module_values().debugger_object;
    debugger = objects.create(OLESTR("MarrowindDbgV10.clsDebug"));
    objects.call(debugger, OLESTR("Init"), {sfnProcessName()},
                 platform::AutomationObjects::Passing::kByValue);
    objects.call(debugger, OLESTR("ParseErrorsToDiagnose"), {},
                 platform::AutomationObjects::Passing::kByValue);
    result = true;
  });
  return result;
}

}  // namespace corvane::modVBTrace
