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

class Win32NamedEvents final : public NamedEvents {
 public:
  std::intptr_t create(OleStringView name) override {
    const OleString terminated(name);
    return reinterpret_cast<std::intptr_t>(CreateEventW(nullptr, FALSE, FALSE, terminated.c_str()));
  }
  void signal(std::intptr_t event) override { SetEvent(reinterpret_cast<HANDLE>(event)); }
  void close(std::intptr_t event) override { CloseHandle(reinterpret_cast<HANDLE>(event)); }
};

}  // namespace

MessageBoxes& MessageBoxes::system() {
  static Win32MessageBoxes boxes;
  return boxes;
}

NamedEvents& NamedEvents::system() {
  static Win32NamedEvents events;
  return events;
}

bool processing_sent_message() { return InSendMessage() != FALSE; }

}  // namespace corvane::platform
