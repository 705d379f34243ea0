// Error entries, the summary log and the session statistics.
#pragma once

#include <cstdint>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

// Reports an error: the "GlobalErrorsLog >>> " trace line; a message that
// starts with NUL goes to the detail log as it is and nothing else happens;
// with a log folder, a summary line and the XML error table's record; a copy in
// the script-comparison log named by the session statistics. Never raises.
// Logged errors are not counted under a severity counter: the counters count
// the message boxes only.
void GlobalErrorsLog(OleStringView sSource, OleStringView sMsg, std::int32_t eSeverity,
                     bool bSummaryLog, bool bXMLLog);

// Writes one summary line (or hands it to the trace viewer); with bAlsoTrace
// the message also goes to the detail log at level 1.
void GlobalSummaryLog(OleStringView sSource, OleStringView sMsg, bool bLeadingBreak, bool bUnused,
                      bool bStamp, bool bAlsoTrace);

// [CR LF] time TAB [process TAB source ": "] TAB message.
OleString SummaryLogMessage(OleStringView sSource, OleStringView sMsg, bool bLeadingBreak,
                            bool bUnused, bool bStamp);

// Appends one line to the summary log (101 attempts, then the
// "Couldn't open log. Msg = " trace line at level 1).
void WriteToSummaryLog(OleStringView sLine);

// The session statistics in log folder & "\Session.ini", section "SessionStats".
void WriteSessionStat(std::int32_t eField, OleStringView sValue);
OleString sfnReadSessionStat(std::int32_t eField);
OleString sfnSessionStatFieldName(std::int32_t eField);
// Adds one to a counter (fields 4, 5, 6 and 14); a failure is recorded in
// "PossibleErrors.log" and never reaches the caller.
void IncrementFieldCount(std::int32_t eField);
OleString sfnSessionStatIniName();

// The detail log's file name (after the last backslash).
OleString sfnDetailLogName();

// The number of session statistics fields (0 to 18).
inline constexpr std::int32_t kSessionStatFields = 19;

}  // namespace corvane::modVBTrace
