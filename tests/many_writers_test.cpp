// Several processes writing the same log files and counting in the same
// session statistics at once: every line and record arrives exactly once and
// whole, and no count is lost. The writers are corvane_terminate_host
// processes (built beside this test) started together in their "write" mode;
// see support/many_writers.h.
#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <regex>
#include <set>
#include <thread>

#include "platform/file_lock.h"
#include "platform/processes.h"
#include "platform/profiles.h"
#include "support/log_capture.h"
#include "support/many_writers.h"

namespace corvane {
namespace {

using namespace testing;

// Each expected text is found exactly once, and nothing else is found.
void expect_each_once(std::vector<std::string> found, std::vector<std::string> expected) {
  std::sort(found.begin(), found.end());
  std::sort(expected.begin(), expected.end());
  const auto [f, e] = std::mismatch(found.begin(), found.end(), expected.begin(), expected.end());
  EXPECT_TRUE(f == found.end() && e == expected.end())
      << found.size() << " found, " << expected.size() << " expected; first difference: found \""
      << (f == found.end() ? "(end)" : *f) << "\", expected \""
      << (e == expected.end() ? "(end)" : *e) << "\"";
}

// A log's lines, each time stamp "MM-dd-yy HH:mm:ss.fff" given as "STAMP".
std::vector<std::string> unstamped_lines(const OleString& file) {
  static const std::regex stamp(R"(^\d\d-\d\d-\d\d \d\d:\d\d:\d\d\.\d\d\d)");
  std::vector<std::string> lines = read_lines(file);
  for (std::string& line : lines) line = std::regex_replace(line, stamp, "STAMP");
  EXPECT_TRUE(read_file(file).ends_with("\r\n"));
  return lines;
}

TEST(ManyWriters, EveryLineOnceAndWholeAndEveryCountKept) {
  constexpr int kWriters = 8, kRecords = 5000, kCounts = 500;
  TempFolder folder;
  const OleString writer = OLESTR("\"") + ole_path(helper_program("corvane_terminate_host")) +
                           OLESTR("\" write \"") + ole_path(folder.path()) + OLESTR("\" ");
  platform::Processes& processes = platform::Processes::system();
  std::vector<platform::StartedProcess> started;
  for (int w = 0; w < kWriters; ++w) {
    started.push_back(
        processes.start(writer + wide(std::to_string(w) + " " + std::to_string(kRecords) + " " +
                                      std::to_string(kCounts)),
                        true, false));
    ASSERT_NE(started.back().process, 0) << "could not start writer " << w;
  }
  folder.put(many_writers::kStartSignal, "\n");
  for (const platform::StartedProcess& p : started) {
    EXPECT_EQ(processes.exit_code(p.process), 0u);
    processes.close(p.thread);
    processes.close(p.process);
  }

  // The one writer that found the errors file missing says so, once.
  std::vector<std::string> detail{
      "STAMP\tCorvane\tmodVBTrace.WriteErrorNode: Attempting to open: " +
      narrow(ole_path(folder.path())) + "\\detailErrors.log"};
  std::vector<std::string> summary, records;
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kRecords; ++i) {
      using many_writers::record_text;
      detail.push_back("STAMP\tCorvane\tmany.writers: " + record_text(w, "trace", i));
      summary.push_back("STAMP\tCorvane\tmany.writers: \t" + record_text(w, "summary", i));
      // clang-format off
      records.push_back(error_record({.firstOccurrence = "12-06-26 10:00:00", .errorNumber = "5",
          .errorDescription = record_text(w, "error", i), .component = "Corvane", .module = "many",
          .member = "writers"}));
      // clang-format on
    }
  }
  expect_each_once(unstamped_lines(folder.file("detail.log")), detail);
  expect_each_once(unstamped_lines(folder.file("summary.log")), summary);
  // The errors file: its heading once, then whole records and nothing else.
  const std::string errors = read_file(folder.file("detailErrors.log"));
  const std::vector<std::string> found = error_records_in(errors);
  expect_each_once(found, records);
  EXPECT_TRUE(errors == std::accumulate(found.begin(), found.end(), kErrorsHeading));

  EXPECT_EQ(platform::Profiles::system().read(folder.file("Session.ini"), OLESTR("SessionStats"),
                                              OLESTR("Severity2Count"), OLESTR(""), 255),
            OLESTR("4000"));
  // The folder holds the logs, the INI and the start signal, and no lock file.
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    names.insert(entry.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"Session.ini", "detail.log", "detailErrors.log",
                                          many_writers::kStartSignal, "summary.log"}));
}

// One holder at a time whatever the spelling of the file's name (letter case,
// slashes); let go of when its holder is gone.
TEST(SharedFileLock, OneHolderAtATimeWhateverTheSpelling) {
  TempFolder folder;
  const OleString file = folder.file("Session.ini");
  OleString other_spelling = file;
  for (OLECHAR& c : other_spelling) c = c == u'/' ? u'\\' : c >= u'a' && c <= u'z' ? c - 32 : c;
  std::atomic<int> state{0};  // 1: first lock held; 2: second attempt done
  std::thread holder([&] {
    const platform::SharedFileLock lock(file, 1000);
    EXPECT_TRUE(lock.held());
    state = 1;
    while (state != 2) std::this_thread::yield();
  });
  while (state != 1) std::this_thread::yield();
  EXPECT_FALSE(platform::SharedFileLock(other_spelling, 50).held()) << "two holders at once";
  state = 2;
  holder.join();
  EXPECT_TRUE(platform::SharedFileLock(file, 0).held());
  EXPECT_FALSE(platform::SharedFileLock(OleString(), 0).held());
  EXPECT_NE(platform::file_lock_name(OLESTR("C:\\Logs\\Session.ini")),
            platform::file_lock_name(OLESTR("C:\\Logs2\\Session.ini")));
  EXPECT_LT(platform::file_lock_name(OleString(5000, u'x')).size(), 64u);
}

}  // namespace
}  // namespace corvane
