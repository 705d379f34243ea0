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

}  // namespace corvane::modVBTrace
