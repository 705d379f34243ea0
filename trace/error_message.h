// Takes the message of the standard error trap apart again.
#pragma once

#include <cstdint>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

// Splits "Error n: description CR LF in label. CR LF The error occured at
// line: l" into its line number, error number, source and description (all
// text). A message of another form leaves "0", "0", "Unknown" and the whole
// message as far as the parse got.
void ParseErrorMessage(OleStringView sMsg, OleString& sLineNumber, OleString& sErrNum,
                       OleString& sSource, OleString& sDescription);

// The number after "Error " (any case) as text, or "0"; `lStop` gets the
// 1-based position where the scan stopped.
OleString sfnErrorNumberFromMessage(OleStringView sMsg, std::int32_t& lStop);

// A digit, a blank or "-".
bool bfnIsNumberChar(OleStringView sChar);
// False for " ", ",", ".", "-" and ":".
bool bfnIsNotSeparator(OleStringView sChar);

}  // namespace corvane::modVBTrace
