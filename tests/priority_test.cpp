// Process and thread priority: names, the trace lines of a change, the
// danger test the message boxes ask, and a process handle without a thread.
#include <gtest/gtest.h>

#include <map>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "platform/priorities.h"
#include "priority/priority_sdk.h"
#include "support/log_capture.h"
#include "trace/message_boxes.h"

namespace corvane::modPrioritySDK {
namespace {

using testing::TraceHarness;

// Priorities kept in the test: handle 1 is the caller's process, 2 its thread.
class FakePriorities final : public platform::Priorities {
 public:
  std::intptr_t current_process() override { return 1; }
  std::intptr_t current_thread() override { return 2; }
  std::uint32_t priority_class(std::intptr_t p) override { return p == 1 ? process_class : 0; }
  bool set_priority_class(std::intptr_t p, std::uint32_t c) override {
    ++calls;
    if (p != 1) return false;
    process_class = c;
    return true;
  }
  std::int32_t thread_priority(std::intptr_t t) override {
    return t == 2 ? thread_level : kThreadPriorityError;
  }
  bool set_thread_priority(std::intptr_t t, std::int32_t level) override {
    ++calls;
    if (t != 2) return false;
    thread_level = level;
    return true;
  }
  std::uint32_t process_class = 128;
  std::int32_t thread_level = 2;
  int calls = 0;
};

const std::string kPrefix = "02-01-26 09:05:03.007\tCorvane\t";

TEST(Priority, Names) {
  TraceHarness h;
  EXPECT_EQ(sfnProcessPriorityClass(32), OLESTR("NORMAL_PRIORITY_CLASS"));
  EXPECT_EQ(sfnProcessPriorityClass(64), OLESTR("IDLE_PRIORITY_CLASS"));
  EXPECT_EQ(sfnProcessPriorityClass(128), OLESTR("HIGH_PRIORITY_CLASS"));
  EXPECT_EQ(sfnProcessPriorityClass(256), OLESTR("REALTIME_PRIORITY_CLASS"));
  EXPECT_EQ(sfnProcessPriorityClass(16384), OLESTR("16384"));
  EXPECT_EQ(sfnThreadPriorityLevel(2), OLESTR("(2) THREAD_PRIORITY_HIGHEST"));
  EXPECT_EQ(sfnThreadPriorityLevel(-15), OLESTR("(-15) THREAD_PRIORITY_IDLE"));
  EXPECT_EQ(sfnThreadPriorityLevel(15), OLESTR("(15) THREAD_PRIORITY_TIME_CRITICAL"));
  EXPECT_EQ(sfnThreadPriorityLevel(3), OLESTR("3"));
}

TEST(Priority, SetNormalPriorityTracesOnlyTheThreadLine) {
  TraceHarness h;
  h.init(4);
  FakePriorities fake;
  platform::Priorities::Override use(fake);
  SetNormalPriority();
  EXPECT_EQ(fake.process_class, 32u);
  EXPECT_EQ(fake.thread_level, 0);
  EXPECT_EQ(h.detail_lines(),
            std::vector<std::string>{kPrefix + "SetThreadPriorityLevel: Setting thread to 0: "
                                               "(0) THREAD_PRIORITY_NORMAL"});
}

TEST(Priority, ATracedChangeShowsBeforeAndAfter) {
  TraceHarness h;
  h.init(4);
  FakePriorities fake;
  fake.process_class = 32;
  fake.thread_level = 0;
  platform::Priorities::Override use(fake);
  SetThreadPriorityLevel(2, {}, true);
  EXPECT_EQ(testing::read_file(h.detail_log()),
            kPrefix +
                "SetThreadPriorityLevel: Setting thread to 2: (2) THREAD_PRIORITY_HIGHEST\r\n" +
                kPrefix +
                "SetThreadPriority: Priority before: Priority Class: NORMAL_PRIORITY_CLASS. Thread "
                "Priority: (0) THREAD_PRIORITY_NORMAL\r\nPriority after: Priority Class: "
                "NORMAL_PRIORITY_CLASS. Thread Priority: (2) THREAD_PRIORITY_HIGHEST\r\n");
  TraceHarness h2;
  h2.init(4);
  SetProcessPriorityClass(128, {}, true);
  EXPECT_EQ(testing::read_file(h2.detail_log()),
            kPrefix +
                "SetProcessPriorityClass: Priority before: Priority Class: NORMAL_PRIORITY_CLASS. "
                "Thread Priority: (2) THREAD_PRIORITY_HIGHEST\r\nPriority after: Priority Class: "
                "HIGH_PRIORITY_CLASS. Thread Priority: (2) THREAD_PRIORITY_HIGHEST\r\n");
}

TEST(Priority, DangerForMessageBoxes) {
  TraceHarness h;
  h.init(2);
  FakePriorities fake;
  platform::Priorities::Override use(fake);
  const std::tuple<std::uint32_t, std::int32_t, bool> cases[] = {
      {32, 0, false}, {32, -1, false}, {64, -15, false}, {32, 1, true},
      {32, 15, true}, {128, 0, true},  {256, -2, true},  {0, 0, true},
  };
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
}

TEST(Priority, AProcessHandleWithoutAThreadChangesNothing) {
  TraceHarness h;
  h.init(2);
  FakePriorities fake;
  platform::Priorities::Override use(fake);
  SetNormalPriority(1);
  EXPECT_EQ(fake.calls, 0);
  EXPECT_TRUE(bfnPriorityIsDangerous(1));
  const std::string log = testing::read_file(h.detail_log());
  EXPECT_NE(log.find("GlobalErrorsLog >>> modPrioritySDK.SetNormalPriority\thProcessHandle "
                     "specified but hThreadHandle isn't.\tSeverity: 2\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("GlobalErrorsLog >>> modPrioritySDK.bfnPriorityIsDangerous\thProcessHandle "
                     "specified but hThreadHandle isn't.\tSeverity: 2\r\n"),
            std::string::npos);
}

TEST(Priority, TheSystemsOwnReadingsAfterANormalReset) {
  TraceHarness h;
  SetNormalPriority();
  EXPECT_EQ(
      priority_reading(),
      OLESTR("Priority Class: NORMAL_PRIORITY_CLASS. Thread Priority: (0) THREAD_PRIORITY_NORMAL"));
  EXPECT_FALSE(bfnPriorityIsDangerous());
  SetThreadPriorityLevel(-1);
  EXPECT_EQ(priority_reading(), OLESTR("Priority Class: NORMAL_PRIORITY_CLASS. Thread Priority: "
                                       "(-1) THREAD_PRIORITY_BELOW_NORMAL"));
#ifndef _WIN32
  // On Linux the level is the thread's nice value: below normal is +2.
  EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))), 2);
#endif
  SetNormalPriority();
}

// A box shown while the process runs above normal could be starved: the
// priority is lowered first, without a trace of the change.
TEST(Priority, AMessageBoxLowersADangerousPriorityFirst) {
  TraceHarness h;
  h.init(2);
  h.side_files_here();
  FakePriorities fake;
  platform::Priorities::Override use(fake);
  std::uint32_t class_during_box = 0;
  h.boxes.on_show = [&] { class_during_box = fake.process_class; };
  modVBTrace::MsgBox(OLESTR("x"), 0, std::nullopt, 5);
  EXPECT_EQ(class_during_box, 32u);
  EXPECT_EQ(fake.thread_level, 0);
  EXPECT_EQ(testing::read_file(h.detail_log()).find("SetThreadPriorityLevel"), std::string::npos);
}

}  // namespace
}  // namespace corvane::modPrioritySDK
