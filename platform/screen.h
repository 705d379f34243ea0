// The host's screen object: the mouse pointer that the error traps of the
// class's members reset to the default arrow.
#pragma once

#include "platform/replaceable.h"

namespace corvane::platform {

class Screen : public Replaceable<Screen> {
 public:
  virtual ~Screen() = default;
  virtual void reset_mouse_pointer() = 0;

  static Screen& system();
};

}  // namespace corvane::platform
