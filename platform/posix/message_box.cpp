#include <fcntl.h>
#include <semaphore.h>

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

// The event as a named semaphore "/<name>": a signal posts it unless it is
// already posted, so that, like an event with automatic reset, it holds at
// most one release.
class SemaphoreEvents final : public NamedEvents {
 public:
  std::intptr_t create(OleStringView name) override {
    const std::string native = "/" + to_utf8(name);
    sem_t* event = ::sem_open(native.c_str(), O_CREAT, 0600, 0);
    return event == SEM_FAILED ? 0 : reinterpret_cast<std::intptr_t>(event);
  }
  void signal(std::intptr_t event) override {
    sem_t* semaphore = reinterpret_cast<sem_t*>(event);
    int value = 0;
    if (::sem_getvalue(semaphore, &value) == 0 && value > 0) return;
    ::sem_post(semaphore);
  }
  void close(std::intptr_t event) override { ::sem_close(reinterpret_cast<sem_t*>(event)); }
};

}  // namespace

MessageBoxes& MessageBoxes::system() {
  static StandardErrorMessageBoxes boxes;
  return boxes;
}

NamedEvents& NamedEvents::system() {
  static SemaphoreEvents events;
  return events;
}

bool processing_sent_message() { return false; }

}  // namespace corvane::platform
