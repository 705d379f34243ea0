// The message boxes every error trap ends in. MsgBox shows a box (unless
// "NoMsgBox.flg" exists) and logs its text and the user's answer in the
// summary log, the detail log, "PossibleErrors.log" and the debugger output,
// and records it in the XML error table. ErrMsgBox turns an error trap's text
// into the words the user sees, records the error and shows it through
// MsgBox; on a fatal error it restarts the suite's main program.
#pragma once

#include <cstdint>
#include <optional>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

// The box's answer (1 OK when no box was shown). Severities below 5 are
// counted and recorded in the XML error table. The title is "Quillon MT"
// when none is given.
std::int32_t MsgBox(OleStringView sPrompt, std::int32_t lButtons,
                    std::optional<OleStringView> vTitle, std::int32_t eSeverity);

// Always the title "Quillon Warning Message" and style 4096, whatever the
// caller passes. A call made while another runs only notes the message in
// "PossibleErrors.log" and answers 1. A remote-call error rewrites `sMsg`.
std::int32_t ErrMsgBox(OleString& sMsg, std::int32_t vButtons, OleStringView vTitle,
                       bool bShowDetails);

// True when no COM event may be raised on this thread now: it is inside a
// message another thread sent, or CanRaiseEventOnCurrentSTAThread of
// "rodevuzudov.dll" answers 0. False (and logged) when the library is missing.
bool InModalState();

// The name of a box's answer ("OK", "YES", ...), or "Code " and the value.
OleString sfnMsgboxReturn(std::int32_t vResult);

// The box text for the logs: three TABs after every CR LF, so that a
// multi-line text stays indented under its log line.
OleString sfnFormatMsgboxForLog(OleStringView sMsg);

// False while "NoMsgBox.flg" exists in the side-file folder.
bool bfnMsgBoxesAllowed();

}  // namespace corvane::modVBTrace
