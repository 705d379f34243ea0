// The switch between the log files and the suite's trace viewer window
// ("DovaziVeduzi - QuillonMT"): while the component runs as part of the suite
// and the viewer is open, log text goes to the viewer instead of the files.
#pragma once

#include <cstdint>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

inline constexpr OleStringView kTraceViewerTitle = OLESTR("DovaziVeduzi - QuillonMT");

// True when the suite's data folder is in use (the flag UseQuillonAppPath
// keeps) and the viewer's window is there.
bool UseSendTrace();

// The viewer's window, cached with its title and looked up again when it was
// closed or retitled; 0 when there is none.
std::intptr_t lfnTracerWindow();

// Sends text to the viewer on channel `lTraceKind` (1 detail log, 2 summary
// log, 3 XML error log); wParam 1 when bTracerFlag, else 0.
void SendTraceStatement(OleStringView sTraceMsg, std::int32_t lTraceKind, bool bTracerFlag);

}  // namespace corvane::modVBTrace
