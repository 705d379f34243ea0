// The message boxes every error trap ends in. For now they record what they
// are given in the detail log (source "modVBTrace.MsgBox" or
// "modVBTrace.ErrMsgBox", level 2) and answer OK (1) without showing a box.
#pragma once

#include <cstdint>
#include <optional>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

std::int32_t MsgBox(OleStringView sPrompt, std::int32_t lButtons,
                    std::optional<OleStringView> vTitle, std::int32_t eSeverity);

std::int32_t ErrMsgBox(OleString& sMsg, std::int32_t vButtons, OleStringView vTitle,
                       bool bShowDetails);

// The name of a box's answer ("OK", "YES", ...), or "Code " and the value.
OleString sfnMsgboxReturn(std::int32_t vResult);

// The box text for the logs: three TABs after every CR LF, so that a
// multi-line text stays indented under its log line.
OleString sfnFormatMsgboxForLog(OleStringView sMsg);

// False while "NoMsgBox.flg" exists in the side-file folder.
bool bfnMsgBoxesAllowed();

}  // namespace corvane::modVBTrace
