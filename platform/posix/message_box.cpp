#include <cstdio>
#include <string>

#include "automation/vb_text.h"
#include "platform/message_box.h"

namespace corvane::platform {

namespace {

// No desktop to show a box on: the box goes to standard error, where the
// person who started the program sees it, and is answered OK.
class StandardErrorMessageBoxes final : public MessageBoxes {
 public:
  std::int32_t show(OleStringView text, OleStringView title, std::int32_t style) override {
    const std::string shown = "[" + to_utf8(title) + "] (style " + std::to_string(style) + ")\n" +
                              to_utf8(text) + "\n[OK]\n";
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fflush(stderr);
    return 1;
  }
};

}  // namespace

MessageBoxes& MessageBoxes::system() {
  static StandardErrorMessageBoxes boxes;
  return boxes;
}

bool processing_sent_message() {
  return false;
}

}  // namespace corvane::platform
