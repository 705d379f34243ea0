#include "platform/message_box.h"

namespace corvane::platform {

namespace {

class Win32MessageBoxes final : public MessageBoxes {
 public:
  std::int32_t show(OleStringView text, OleStringView title, std::int32_t style) override {
    const OleString terminated_text(text);
    const OleString terminated_title(title);
    return MessageBoxW(nullptr, terminated_text.c_str(), terminated_title.c_str(),
                       static_cast<UINT>(style));
  }
};

}  // namespace

MessageBoxes& MessageBoxes::system() {
  static Win32MessageBoxes boxes;
  return boxes;
}

bool processing_sent_message() {
  return InSendMessage() != FALSE;
}

}  // namespace corvane::platform
