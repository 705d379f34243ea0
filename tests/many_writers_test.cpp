// Several processes writing the same log files and counting in the same
// session statistics at once: every line and record arrives exactly once and
// whole, and no count is lost. The writers are corvane_log_writer processes
// (built beside this test) started together; see support/many_writers.h.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <regex>
#include <thread>

#include "platform/file_lock.h"
#include "platform/processes.h"
#include "platform/profiles.h"
#include "platform/text_encoding.h"
#include "support/log_capture.h"
#include "support/many_writers.h"

namespace corvane {
namespace {

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
  std::vector<std::string> lines = testing::read_lines(file);
  for (std::string& line : lines) line = std::regex_replace(line, stamp, "STAMP");
  EXPECT_TRUE(testing::read_file(file).ends_with("\r\n"));
  return lines;
}

TEST(ManyWriters, EveryLineOnceAndWholeAndEveryCountKept) {
  constexpr int kWriters = 8, kRecords = 5000, kCounts = 500;
  testing::TempFolder folder;
  const std::string log_folder = platform::to_ansi(testing::ole_path(folder.path()));
  platform::Processes& processes = platform::Processes::system();
  std::vector<platform::StartedProcess> started;
  for (int w = 0; w < kWriters; ++w) {
    const std::string line =
        "\"" + platform::to_ansi(testing::ole_path(testing::helper_program("corvane_log_writer"))) +
        "\" \"" + log_folder + "\" " + std::to_string(w) + " " + std::to_string(kRecords) + " " +
        std::to_string(kCounts);
    started.push_back(processes.start(platform::from_ansi(line), true, false));
    ASSERT_NE(started.back().process, 0) << "could not start " << line;
  }
  std::ofstream(folder.path() / testing::many_writers::kStartSignal).put('\n');
  for (const platform::StartedProcess& p : started) {
    EXPECT_EQ(processes.exit_code(p.process), 0u);
    processes.close(p.thread);
    processes.close(p.process);
  }

  // The one writer that found the errors file missing says so, once.
  std::vector<std::string> detail{
      "STAMP\tCorvane\tmodVBTrace.WriteErrorNode: Attempting to open: " + log_folder +
      "\\detailErrors.log"};
  std::vector<std::string> summary, records;
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kRecords; ++i) {
      using testing::many_writers::record_text;
      detail.push_back("STAMP\tCorvane\tmany.writers: " + record_text(w, "trace", i));
      summary.push_back("STAMP\tCorvane\tmany.writers: \t" + record_text(w, "summary", i));
      records.push_back(testing::error_record({.firstOccurrence = "12-06-26 10:00:00",
                                               .errorNumber = "5",
                                               .errorDescription = record_text(w, "error", i),
                                               .component = "Corvane",
                                               .module = "many",
                                               .member = "writers"}));
    }
  }
  expect_each_once(unstamped_lines(folder.file("detail.log")), detail);
  expect_each_once(unstamped_lines(folder.file("summary.log")), summary);
  // The errors file: its heading once, then whole records and nothing else.
  const std::string errors = testing::read_file(folder.file("detailErrors.log"));
  const std::string heading = "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n<Errors>\r\n";
  EXPECT_EQ(errors.rfind(heading, 0), 0u);
  const std::vector<std::string> found = testing::error_records_in(errors);
  expect_each_once(found, records);
  std::size_t size = heading.size();
  for (const std::string& record : found) size += record.size();
  EXPECT_EQ(size, errors.size());

  EXPECT_EQ(platform::Profiles::system().read(folder.file("Session.ini"), OLESTR("SessionStats"),
                                              OLESTR("Severity2Count"), OLESTR(""), 255),
            OLESTR("4000"));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "PossibleErrors.log"));
}

TEST(SharedFileLock, OneHolderAtATimeWhateverTheSpelling) {
  testing::TempFolder folder;
  const OleString file = folder.file("Session.ini");
  OleString other_spelling = file;
  for (OLECHAR& c : other_spelling) c = c == u'/' ? u'\\' : c;
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
  // Let go of when its holder is gone: the next one has it at once.
  EXPECT_TRUE(platform::SharedFileLock(file, 0).held());
  EXPECT_FALSE(platform::SharedFileLock(OleString(), 0).held());
}

TEST(SharedFileLock, NamesFoldCaseAndSlashesAndStayShort) {
  EXPECT_EQ(platform::file_lock_name(OLESTR("C:\\Logs\\Session.ini")),
            platform::file_lock_name(OLESTR("c:/logs/SESSION.INI")));
  EXPECT_NE(platform::file_lock_name(OLESTR("C:\\Logs\\Session.ini")),
            platform::file_lock_name(OLESTR("C:\\Logs2\\Session.ini")));
  EXPECT_LT(platform::file_lock_name(OleString(5000, u'x')).size(), 64u);
}

}  // namespace
}  // namespace corvane
