#include "trace/message_boxes.h"

#include "automation/error.h"
#include "automation/vb_text.h"
#include "platform/files.h"
#include "trace/error_trap.h"
#include "trace/locations.h"
#include "trace/summary_log.h"
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

constexpr ErrorTrap kMsgboxReturnTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.sfnMsgboxReturn."), 4097);

}  // namespace

OleString sfnMsgboxReturn(std::int32_t vResult) {
  OleString name;
  trapped(kMsgboxReturnTrap, [&] {
    switch (vResult) {  // the order the answers are asked in: 1, 6, 7, 3, 5, 4, 2
      case 1:
        name = OLESTR("OK");
        break;
      case 6:
        name = OLESTR("YES");
        break;
      case 7:
        name = OLESTR("NO");
        break;
      case 3:
        name = OLESTR("ABORT");
        break;
      case 5:
        name = OLESTR("IGNORE");
        break;
      case 4:
        name = OLESTR("RETRY");
        break;
      case 2:
        name = OLESTR("CANCEL");
        break;
      default:
        name = OLESTR("Code ") + to_text(vResult);
        break;
    }
  });
  return name;
}

OleString sfnFormatMsgboxForLog(OleStringView sMsg) {
  OleString result;
  try {
    // The positions are 16-bit: a line break that starts at character 32,766
    // or later overflows them.
    constexpr std::size_t kLastPosition = 32766;
    std::size_t at = 0;
    for (std::size_t crlf; (crlf = sMsg.find(OLESTR("\r\n"), at)) != OleStringView::npos;) {
      if (crlf + 1 >= kLastPosition) throw AutomationError(vb_error::kOverflow);
      result += sMsg.substr(at, crlf - at);
      result += OLESTR("\r\n\t\t\t");
      at = crlf + 2;
    }
    result += sMsg.substr(at);
  } catch (...) {
    const AutomationError error = current_exception_as_automation_error();
    OleString message =
        OLESTR("Error ") + to_text(error.number()) + OLESTR(": ") + error.description() +
        OLESTR(
            "\r\nin Corvane.modVBTrace.sfnFormatMsgboxForLog.\r\n"
            "The processed message was: ") +
        OleString(sMsg) + OLESTR("The error occured at line: ") + to_text(error.line());
    GlobalErrorsLog(OLESTR("modVBTrace.sfnFormatMsgboxForLog"), message, 2, true, true);
    result = OleString(sMsg);
  }
  return result;
}

bool bfnMsgBoxesAllowed() {
  try {
    return !platform::Files::current().exists(AppPath() + OLESTR("\\NoMsgBox.flg"), false);
  } catch (...) {
    return true;  // errors ignored: a failure before the test leaves boxes allowed
  }
}

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
