#include "trace/message_boxes.h"

#include "automation/vb_text.h"
#include "trace/trace_log.h"

namespace corvane::modVBTrace {

namespace {

// One trace line with everything a box call was given; never raises.
void record_box(OleStringView source, OleStringView kind, OleStringView text, std::int32_t buttons,
                OleStringView title, OleStringView last_name, std::int32_t last_value) {
  try {
    OleString line(kind);
    line += text;
    line += OLESTR("\tButtons: ");
    line += to_text(buttons);
    line += OLESTR("\tTitle: ");
    line += title;
    line += u'\t';
    line += last_name;
    line += to_text(last_value);
    GlobalTrace(source, line, 2, true, false, 1, false);
  } catch (...) {
  }
}

}  // namespace

std::int32_t MsgBox(OleStringView sPrompt, std::int32_t lButtons,
                    std::optional<OleStringView> vTitle, std::int32_t eSeverity) {
  record_box(OLESTR("modVBTrace.MsgBox"), OLESTR("MSGBOX: "), sPrompt, lButtons,
             vTitle.value_or(OLESTR("Quillon MT")), OLESTR("Severity: "), eSeverity);
  return 1;
}

std::int32_t ErrMsgBox(OleString& sMsg, std::int32_t vButtons, OleStringView vTitle,
                       bool bShowDetails) {
  record_box(OLESTR("modVBTrace.ErrMsgBox"), OLESTR("ERRMSGBOX: "), sMsg, vButtons, vTitle,
             OLESTR("ShowDetails: "), bShowDetails ? -1 : 0);
  return 1;
}

}  // namespace corvane::modVBTrace
