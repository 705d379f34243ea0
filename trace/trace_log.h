// The detail log writer: GlobalTrace decides by trace level and prefixes the
// line, GlobalLog stamps it and chooses between the file and the trace viewer,
// WriteToDetailLog appends it to the file (open, append, close per line).
#pragma once

#include <cstdint>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

// Writes one trace line when `lTraceLevel` is at most the trace level; the line
// also goes to the debugger output unless trace forwarding is in use.
void GlobalTrace(OleStringView sSource, OleStringView sMsg, std::int32_t lTraceLevel,
                 bool bPrefix = true, bool bReserved = false, std::int32_t eEventCode = 1,
                 bool bForwardFlag = false);

// True when a line of `level` would be written now (the level check of
// GlobalTrace, for callers that want to skip building a message).
bool trace_level_enabled(std::int32_t level);

// Writes one line without level check: time stamp (or nothing) TAB line.
void GlobalLog(OleStringView sLine, bool bStamp, bool bForwardFlag);

// Appends one line to the detail log; after 101 failed opens the line goes to
// the debugger output with "Couldn't open log in GlobalLog. Msg = " before it.
void WriteToDetailLog(OleStringView sLine);

// Passes text to the debugger output unless trace forwarding is in use.
void WriteToDebugOutput(OleStringView sText);

// The error-box switch: empty until first read, then True.
bool bfnErrorBoxesEnabled();

// Appends `line` and CR LF to the file at `path` under a free file number,
// retrying a failed open at once up to 101 attempts in all. Returns false when
// every attempt failed; raises when the write or close fails (the file is
// closed and its number freed all the same).
bool append_line_with_retries(OleStringView path, OleStringView line);

}  // namespace corvane::modVBTrace
