// The user's message boxes and what goes with them: the box itself, the named
// event other programs of the suite watch while a box is up, and whether the
// thread is inside a message another thread sent (a modal loop re-entered).
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

// A named kernel event with automatic reset, shared by name with the other
// processes of the logon session (a POSIX named semaphore elsewhere).
class NamedEvents : public Replaceable<NamedEvents> {
 public:
  virtual ~NamedEvents() = default;
  // Creates the event, not signalled, or opens it when it exists; 0 when
  // neither is possible.
  virtual std::intptr_t create(OleStringView name) = 0;
  // Signals it once (releases one waiter, or stays signalled until one comes).
  virtual void signal(std::intptr_t event) = 0;
  virtual void close(std::intptr_t event) = 0;

  static NamedEvents& system();
};

// True while the calling thread processes a message sent from another thread
// (InSendMessage); never on systems without window messages.
bool processing_sent_message();

}  // namespace corvane::platform
