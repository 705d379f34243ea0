#include "trace/trace_forwarding.h"

#include "platform/text_encoding.h"
#include "platform/trace_viewer.h"
#include "trace/error_trap.h"
#include "trace/locations.h"
#include "trace/module_values.h"

namespace corvane::modVBTrace {

namespace {

// The trace writer calls these two, so their traps write straight to the
// files instead of going through it.
constexpr ErrorTrap kUseSendTraceTrap =
    direct_trap(OLESTR("in Corvane.modVBTrace.UseSendTrace."), OLESTR("modVBTrace.UseSendTrace"));
constexpr ErrorTrap kSendTraceStatementTrap = direct_trap(
    OLESTR("in Corvane.modVBTrace.SendTraceStatement."), OLESTR("modVBTrace.SendTraceStatement"));

}  // namespace

bool UseSendTrace() {
  bool result = false;
  try {
    trapped(kUseSendTraceTrap, [&] {
      std::optional<bool>& flag = module_values().use_quillon_app_path;
      if (!flag) {
        const bool module = IsQuillonModule();
        const bool dev_env = InQuillonDevEnv();  // both evaluated
        flag = module || dev_env;
      }
      result = *flag && lfnTracerWindow() != 0;
    });
  } catch (...) {
    // further errors ignored
  }
  return result;
}

std::intptr_t lfnTracerWindow() {
  try {
    platform::TraceViewer& viewer = platform::TraceViewer::current();
    ModuleValues& values = module_values();
    if (viewer.is_window(values.tracer_window) &&
        values.tracer_title == sfnWindowText(values.tracer_window)) {
      return values.tracer_window;
    }
    values.tracer_window = viewer.find_window(kTraceViewerTitle);
    if (viewer.is_window(values.tracer_window)) {
      values.tracer_title = OleString(kTraceViewerTitle);
      return values.tracer_window;
    }
    values.tracer_window = 0;
  } catch (...) {
    // all errors ignored
  }
  return 0;
}

void SendTraceStatement(OleStringView sTraceMsg, std::int32_t lTraceKind, bool bTracerFlag) {
  try {
    trapped(kSendTraceStatementTrap, [&] {
      platform::TraceViewer::current().send_copy_data(
          module_values().tracer_window, bTracerFlag ? 1 : 0,
          static_cast<std::uint32_t>(lTraceKind), platform::to_ansi(sTraceMsg));
    });
  } catch (...) {
    // further errors ignored
  }
}

}  // namespace corvane::modVBTrace
