// The XML error table: one errors file per detail log, in the "Errors" folder
// beside the "Logs" folder, that grows by one twelve-line <error> record per
// report and is never rewritten. The file starts with the declaration and
// <Errors>, which is never closed.
#pragma once

#include <cstdint>
#include <optional>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

// Records an error: writes the record, runs the hang-dump hook when the
// component is under diagnosis, and ends the process (exit code 0, after the
// crash box) when "Crash.flg" exists in the side-file folder. Never raises.
void AppendErrorNode(std::int32_t eSeverity, OleStringView sDescription, bool bDisplayedToUser,
                     OleStringView sErrNum, OleStringView sLineNumber, OleStringView sRoutine,
                     std::optional<OleStringView> vDetailLogName = {});

// Appends one record (creating the file with its first two lines); a failure
// is traced and shown in a warning box, and the record is lost.
void WriteErrorNode(OleString& sDetailLogName, OleStringView sFirstOccurrence,
                    OleStringView sSeverity, bool bDisplayedToUser, OleStringView sErrNum,
                    OleStringView sDescription, OleStringView sComponent, OleStringView sModule,
                    OleStringView sMember, OleStringView sLineNumber);

// errors folder & "\" & the detail log's file name with ".log" replaced by
// "Errors.log"; `sDetailLogName` is cut to its file name. The errors folder
// (the log folder with "\Logs" replaced by "\Errors") is fixed and created at
// the first call of the apartment. A path that would name the detail log
// itself gets "Errors.log" appended instead.
OleString GetErrorLogFullPath(OleString& sDetailLogName);

// "A.B.C" gives module "B" and member "C"; "C" gives "*" and "C".
void ParseErrorSource(OleStringView sRoutine, OleString& sModule, OleString& sMember);

// Escapes & " ' < > as entities; EncodeForXML also turns each CR LF into a TAB.
OleString EncodeForXML(OleStringView sText);
OleString EncodeForInternalXML(OleStringView sText);

OleString XMLVersionStatement();
// 4 * lIndent blanks, then <name> or </name>.
OleString NodeStart(OleStringView sName, std::int32_t lIndent);
OleString NodeEnd(OleStringView sName, std::int32_t lIndent);
// One element line: <name>value</name>, or <name/> for an empty value or one
// that fails its type check (eDataType 0 any text, 1 numeric, 2 date).
OleString CompleteNode(OleStringView sName, OleStringView sValue, std::int32_t lIndent,
                       std::int32_t eDataType);
bool bfnGoodDataType(OleStringView sValue, std::int32_t eDataType);

// Sends the text to the trace viewer as detail-log text and as summary-log
// text; failures are ignored.
void SendTraceToBothLogs(OleStringView sText);

}  // namespace corvane::modVBTrace
