// The user's message boxes: the box itself, and whether the thread is inside
// a message another thread sent (a modal loop re-entered).
#pragma once

#include <cstdint>

#include "automation/ole_types.h"
#include "platform/replaceable.h"

namespace corvane::platform {

class MessageBoxes : public Replaceable<MessageBoxes> {
 public:
  virtual ~MessageBoxes() = default;
  // Shows a modal box and answers the button the user pressed (1 OK, 2
  // CANCEL, ... 7 NO), or what the system answers when it cannot show one.
  // On Windows the system's message box; elsewhere the box is written to
  // standard error and answered OK.
  virtual std::int32_t show(OleStringView text, OleStringView title, std::int32_t style) = 0;

  static MessageBoxes& system();
};

// True while the calling thread processes a message sent from another thread
// (InSendMessage); never on systems without window messages.
bool processing_sent_message();

}  // namespace corvane::platform
