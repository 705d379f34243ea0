// Writing to the library's plain log files: one print per record, the file
// opened for appending and closed again each time, and the failure records
// that go to "PossibleErrors.log" in the log folder.
#pragma once

#include "automation/error.h"
#include "automation/ole_types.h"

namespace corvane::modVBTrace {

// Appends `text` and CR LF to the file (created when missing) under a free file
// number. Raises what the open, the print or the close raises.
void print_line_to(OleStringView path, OleStringView text);

// How the time's two colons are written: as colons whatever the user's
// settings, or as the user's time separator.
enum class Colon { kLiteral, kLocale };

// The current local time as "hh:nn:ss" (24-hour).
OleString clock_time_text(Colon colon);

// A failure record: time TAB heading CR LF "Error " number CR LF description
// CR LF "At line " line.
OleString failure_record(OleStringView heading, const AutomationError& error, Colon colon);

// log folder & "\PossibleErrors.log", or "" while no log folder is set.
OleString possible_errors_path();

}  // namespace corvane::modVBTrace
