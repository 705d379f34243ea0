// Without COM there is no class to create by programmatic identifier: every
// creation fails as an unregistered class does on Windows (error 429).
#include "platform/automation_objects.h"

#include "automation/error.h"

namespace corvane::platform {

namespace {

class PosixAutomationObjects final : public AutomationObjects {
 public:
  std::intptr_t create(OleStringView) override { throw AutomationError(429); }
  void call(std::intptr_t, OleStringView, const std::vector<OleString>&, Passing) override {
    throw AutomationError(91);
  }
};

}  // namespace

AutomationObjects& AutomationObjects::system() {
  static PosixAutomationObjects objects;
  return objects;
}

}  // namespace corvane::platform
