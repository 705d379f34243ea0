#include "trace/summary_log.h"

#include "automation/vb_text.h"
#include "trace/error_trap.h"
#include "trace/module_values.h"
#include "trace/trace_log.h"

namespace corvane::modVBTrace {

namespace {

constexpr ErrorTrap kWriteToSummaryLogTrap =
    raise_trap(OLESTR("in Corvane.modVBTrace.WriteToSummaryLog."));

}  // namespace

void GlobalErrorsLog(OleStringView sSource, OleStringView sMsg, std::int32_t eSeverity,
                     bool /*bSummaryLog*/, bool /*bXMLLog*/) {
  try {
    OleString line = OLESTR("GlobalErrorsLog >>> ");
    line += sSource;
    line += u'\t';
    line += sMsg;
    line += OLESTR("\tSeverity: ");
    line += to_text(eSeverity);
    GlobalTrace(OLESTR("modVBTrace.GlobalErrorsLog"), line, 2, true, false, 1, false);
  } catch (...) {
  }
  try {
    if (!sMsg.empty() && sMsg.front() == u'\0') GlobalLog(sMsg, false, false);
  } catch (...) {
  }
}

void WriteToSummaryLog(OleStringView sLine) {
  trapped(kWriteToSummaryLogTrap, [&] {
    const OleString& path = module_values().summary_log_path;
    if (path.empty()) return;
    if (!append_line_with_retries(path, sLine)) {
      OleString msg = OLESTR("Couldn't open log. Msg = ");
      msg += sLine;
      GlobalTrace(OLESTR("modVBTrace.WriteToSummaryLog"), msg, 1, true, false, 1, false);
    }
  });
}

}  // namespace corvane::modVBTrace
