#include "trace/trace_log.h"

#include <utility>

#include "automation/error.h"
#include "platform/debug_output.h"
#include "platform/file_numbers.h"
#include "platform/text_encoding.h"
#include "trace/error_trap.h"
#include "trace/locations.h"
#include "trace/module_values.h"
#include "trace/trace_forwarding.h"

namespace corvane::modVBTrace {

namespace {

constexpr ErrorTrap kGlobalTraceTrap = raise_trap(OLESTR("Corvane.modVBTrace.GlobalTrace"));
constexpr ErrorTrap kGlobalLogTrap = raise_trap(OLESTR("Corvane.modVBTrace.GlobalLog"));
constexpr ErrorTrap kWriteToDetailLogTrap =
    raise_trap(OLESTR("in Corvane.modVBTrace.WriteToDetailLog."));

// Immediate attempts to open a log file before its line is given up.
constexpr int kOpenRetries = 100;

}  // namespace

bool trace_level_enabled(std::int32_t level) {
  ModuleValues& values = module_values();
  if (values.trace_level < 1) values.trace_level = 2;
  return level <= values.trace_level;
}

void GlobalTrace(OleStringView sSource, OleStringView sMsg, std::int32_t lTraceLevel, bool bPrefix,
                 bool /*bReserved*/, std::int32_t /*eEventCode*/, bool bForwardFlag) {
  trapped(kGlobalTraceTrap, [&] {
    if (!sMsg.empty() && sMsg.front() == u'\0') {
      GlobalLog(sMsg, false, false);
      return;
    }
    if (!trace_level_enabled(lTraceLevel)) return;
    OleString line;
    const OleStringView process = bPrefix ? process_name_view() : OleStringView();
    line.reserve(process.size() + sSource.size() + sMsg.size() + 5);
    if (bPrefix) {
      line = process;
      line += u'\t';
      line += sSource;
      line += OLESTR(": ");
    }
    line += sMsg;
    line += OLESTR("\r\n");
    WriteToDebugOutput(line);
    line.resize(line.size() - 2);
    GlobalLog(line, bPrefix, bForwardFlag);
  });
}

void GlobalLog(OleStringView sLine, bool bStamp, bool bForwardFlag) {
  trapped(kGlobalLogTrap, [&] {
    OleString text;
    if (bStamp) text = SystemTimeStamp();
    text.reserve(text.size() + 1 + sLine.size());
    text += u'\t';
    text += sLine;
    if (UseSendTrace()) {
      SendTraceStatement(text, 1, bForwardFlag);
    } else {
      WriteToDetailLog(text);
    }
  });
}

bool append_line_with_retries(OleStringView path, OleStringView line) {
  const int number = platform::FreeFile();
  for (int attempts = 0; platform::open_for_append(number, path) != 0; ++attempts) {
    if (attempts == kOpenRetries) return false;
  }
  platform::OpenFileNumber file(number);
  std::string bytes;
  bytes.reserve(line.size() + 2);
  platform::append_ansi(bytes, line);
  bytes += "\r\n";
  platform::print_bytes(number, bytes);
  file.close();
  return true;
}

void WriteToDetailLog(OleStringView sLine) {
  trapped(kWriteToDetailLogTrap, [&] {
    const OleString& path = module_values().detail_log_path;
    if (path.empty()) return;
    if (!append_line_with_retries(path, sLine)) {
      OleString fallback = OLESTR("Couldn't open log in GlobalLog. Msg = ");
      fallback += sLine;
      platform::DebugOutput::current().write(platform::to_ansi(fallback));
    }
  });
}

void WriteToDebugOutput(OleStringView sText) {
  if (UseSendTrace()) return;
  platform::DebugOutput& output = platform::DebugOutput::current();
  if (output.listening()) output.write(platform::to_ansi(sText));
}

bool bfnErrorBoxesEnabled() {
  std::optional<bool>& enabled = module_values().error_boxes_enabled;
  if (!enabled.has_value()) enabled = true;
  return *enabled;
}

}  // namespace corvane::modVBTrace
