// Process and thread priority: the trace lines of a change, the danger test
// the message boxes ask, and a process handle without a thread.
#include <gtest/gtest.h>

#include "platform/priorities.h"
#include "priority/priority_sdk.h"
#include "support/log_capture.h"
#include "trace/message_boxes.h"

namespace corvane::modPrioritySDK {
namespace {

using namespace testing;

// Priorities kept in the test: handle 1 is the caller's process, 2 its thread;
// a change of another fails.
struct FakePriorities final : platform::Priorities {
  std::intptr_t current_process() override { return 1; }
  std::intptr_t current_thread() override { return 2; }
  std::uint32_t priority_class(std::intptr_t p) override { return p == 1 ? process_class : 0; }
  bool set_priority_class(std::intptr_t p, std::uint32_t c) override {
    if (p == 1) process_class = c;
    return p == 1;
  }
  std::int32_t thread_priority(std::intptr_t t) override {
    return t == 2 ? thread_level : kThreadPriorityError;
  }
  bool set_thread_priority(std::intptr_t t, std::int32_t level) override {
    if (t == 2) thread_level = level;
    return t == 2;
  }
  std::uint32_t process_class = 128;
  std::int32_t thread_level = 2;
};

// The fake in place under a harness that has run Init at trace level 2.
struct Priority : ::testing::Test {
  TraceHarness h{2, true};
  FakePriorities fake;
  platform::Priorities::Override use{fake};
};

// The normal reset traces only its thread line; a traced change shows the
// readings before and after it.
TEST_F(Priority, TracedChanges) {
  h.init(4);
  SetNormalPriority();
  SetThreadPriorityLevel(2, {}, true);
  SetProcessPriorityClass(128, {}, true);
  const std::string normal = "Priority Class: NORMAL_PRIORITY_CLASS. Thread Priority: ";
  const std::string highest = "(2) THREAD_PRIORITY_HIGHEST";
  EXPECT_EQ(read_file(h.detail_log()),
            h.stamped("SetThreadPriorityLevel", "Setting thread to 0: (0) THREAD_PRIORITY_NORMAL") +
                h.stamped("SetThreadPriorityLevel", "Setting thread to 2: " + highest) +
                h.stamped("SetThreadPriority",
                          "Priority before: " + normal +
                              "(0) THREAD_PRIORITY_NORMAL\r\nPriority after: " + normal + highest) +
                h.stamped("SetProcessPriorityClass",
                          "Priority before: " + normal + highest +
                              "\r\nPriority after: Priority Class: HIGH_PRIORITY_CLASS. Thread "
                              "Priority: " +
                              highest));
}

// Danger is a class above normal, a thread level above normal, or a reading
// that fails. A process handle without a thread changes nothing and counts
// as danger, with an error logged. A message box lowers a dangerous priority.
TEST_F(Priority, DangerAndMessageBoxes) {
  // clang-format off
  const std::tuple<std::uint32_t, std::int32_t, bool> cases[] = {
      {32, 0, false}, {32, -1, false}, {64, -15, false}, {32, 1, true},
      {32, 15, true}, {128, 0, true},  {256, -2, true},  {0, 0, true}};
  // clang-format on
  for (const auto& [priority_class, level, dangerous] : cases) {
    fake.process_class = priority_class;
    fake.thread_level = level;
    EXPECT_EQ(bfnPriorityIsDangerous(), dangerous) << priority_class << " " << level;
  }
  // The handles of another process and thread count as given.
  fake.process_class = 32;
  fake.thread_level = 0;
  EXPECT_FALSE(bfnPriorityIsDangerous(1, 2));
  EXPECT_TRUE(bfnPriorityIsDangerous(7, 8));  // names nothing: cannot be read
  EXPECT_TRUE(h.detail_lines().empty());

  EXPECT_TRUE(bfnPriorityIsDangerous(1));
  fake.process_class = 128;
  SetNormalPriority(1);
  EXPECT_EQ(fake.process_class, 128u);
  const char* const message = "hProcessHandle specified but hThreadHandle isn't.";
  EXPECT_TRUE(h.errors_logged("modPrioritySDK.SetNormalPriority", message));
  EXPECT_TRUE(h.errors_logged("modPrioritySDK.bfnPriorityIsDangerous", message));

  // A box shown while the process runs above normal could be starved: the
  // priority is lowered first, without a trace of the change.
  h.init(4);
  fake.thread_level = 2;
  std::uint32_t class_during_box = 0;
  h.boxes.on_show = [&] { class_during_box = fake.process_class; };
  modVBTrace::MsgBox(OLESTR("x"), 0, std::nullopt, 5);
  EXPECT_EQ(class_during_box + fake.thread_level, 32u);
  EXPECT_EQ(read_file(h.detail_log()).find("Priority before: "), std::string::npos);
}

TEST(PrioritySystem, TheSystemsOwnReadingsAfterANormalReset) {
  TraceHarness h;
  SetNormalPriority();
  const std::string normal_class = "Priority Class: NORMAL_PRIORITY_CLASS. Thread Priority: ";
  EXPECT_EQ(narrow(priority_reading()), normal_class + "(0) THREAD_PRIORITY_NORMAL");
  EXPECT_FALSE(bfnPriorityIsDangerous());
  SetThreadPriorityLevel(-1);
  EXPECT_EQ(narrow(priority_reading()), normal_class + "(-1) THREAD_PRIORITY_BELOW_NORMAL");
  SetNormalPriority();
}

}  // namespace
}  // namespace corvane::modPrioritySDK
