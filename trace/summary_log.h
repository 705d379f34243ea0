// Error entries and the summary log.
#pragma once

#include <cstdint>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

// Reports an error: the "GlobalErrorsLog >>> " trace line (a message that
// starts with NUL also goes to the detail log as it is). Never raises.
// The summary, XML and script-comparison steps are not built yet.
void GlobalErrorsLog(OleStringView sSource, OleStringView sMsg, std::int32_t eSeverity,
                     bool bSummaryLog, bool bXMLLog);

// Appends one line to the summary log (101 attempts, then the
// "Couldn't open log. Msg = " trace line at level 1).
void WriteToSummaryLog(OleStringView sLine);

}  // namespace corvane::modVBTrace
