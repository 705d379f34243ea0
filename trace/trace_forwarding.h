// The switch between the log files and the suite's trace viewer window.
// The viewer lookup is not built yet: UseSendTrace answers False, so every
// line goes to the files, and SendTraceStatement is never reached.
#pragma once

#include <cstdint>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

bool UseSendTrace();

// Sends text to the trace viewer on channel `lTraceKind` (1 detail log,
// 2 summary log, 3 XML error log).
void SendTraceStatement(OleStringView sText, std::int32_t lTraceKind, bool bTracerFlag);

}  // namespace corvane::modVBTrace
