// Several processes writing the same log files and counting in the same
// session statistics at once: every line arrives exactly once and whole, and
// no count is lost. The writers are corvane_log_writer processes (built
// beside this test) started together; see support/many_writers.h for what
// they write.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/file_lock.h"
#include "platform/module_info.h"
#include "platform/processes.h"
#include "platform/profiles.h"
#include "platform/text_encoding.h"
#include "support/log_capture.h"
#include "support/many_writers.h"
#include "trace/xml_error_log.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
namespace mw = testing::many_writers;

#ifdef _WIN32
constexpr const char* kExe = ".exe";
#else
constexpr const char* kExe = "";
#endif

fs::path writer_program() {
  const OleString own = platform::ModuleInfo::system().own_file_path();
#ifdef _WIN32
  const fs::path self(std::wstring(own.begin(), own.end()));
#else
  const fs::path self(testing::narrow(own));
#endif
  return self.parent_path() / (std::string("corvane_log_writer") + kExe);
}

// "MM-dd-yy HH:mm:ss.fff"
bool is_time_stamp(std::string_view s) {
  static constexpr std::string_view kForm = "00-00-00 00:00:00.000";
  if (s.size() != kForm.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(s[i])) != 0;
    if ((kForm[i] == '0') != digit || (!digit && s[i] != kForm[i])) return false;
  }
  return true;
}

struct FileCheck {
  std::size_t lines = 0;
  std::size_t whole = 0;     // lines that are one expected record, seen once
  std::size_t repeated = 0;  // records seen more than once
  std::size_t missing = 0;
  std::vector<std::string> broken;  // the first few lines that are no record
  std::size_t notes = 0;            // lines that hold the note looked for
  bool ends_with_line_break = false;

  // Counts the records found once and those not found, from how often each
  // was seen.
  void tally(const std::unordered_map<std::string, int>& seen) {
    for (const auto& [record, count] : seen) {
      if (count == 0) ++missing;
      if (count == 1) ++whole;
    }
  }
};

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Reads a log file whose every line should be a time stamp, `prefix` and one
// of the writers' records of `kind`, or else hold `note`, and counts what it
// finds.
FileCheck check_log(const OleString& file, std::string_view prefix, std::string_view kind,
                    int writers, int records, std::string_view note = {}) {
  std::unordered_map<std::string, int> seen;
  for (int w = 0; w < writers; ++w) {
    for (int i = 0; i < records; ++i) seen.emplace(mw::record_text(w, kind, i), 0);
  }
  FileCheck check;
  const std::string text = testing::read_file(file);
  check.ends_with_line_break = text.ends_with("\r\n");
  for (const std::string_view line : split_lines(text)) {
    if (!note.empty() && line.find(note) != std::string_view::npos) {
      ++check.notes;
      continue;
    }
    ++check.lines;
    const std::size_t stamp = 21;
    auto found = seen.end();
    if (line.size() > stamp + prefix.size() && is_time_stamp(line.substr(0, stamp)) &&
        line.substr(stamp, prefix.size()) == prefix) {
      found = seen.find(std::string(line.substr(stamp + prefix.size())));
    }
    if (found == seen.end()) {
      if (check.broken.size() < 5) check.broken.emplace_back(line);
      continue;
    }
    if (++found->second == 2) ++check.repeated;
  }
  check.tally(seen);
  return check;
}

// The lines of the error record the writers write, with `description`.
std::vector<std::string> error_record_lines(const std::string& description) {
  OleString record = modVBTrace::NodeStart(OLESTR("error"), 1);
  const std::pair<OleStringView, OleString> elements[] = {
      {OLESTR("firstOccurrence"), OLESTR("12-06-26 10:00:00")},
      {OLESTR("severity"), OLESTR("2")},
      {OLESTR("displayedToUser"), OLESTR("N")},
      {OLESTR("errorNumber"), OLESTR("5")},
      {OLESTR("errorDescription"), platform::from_ansi(description)},
      {OLESTR("component"), OLESTR("Corvane")},
      {OLESTR("module"), OLESTR("many")},
      {OLESTR("member"), OLESTR("writers")},
      {OLESTR("lineNumber"), OLESTR("0")},
      {OLESTR("count"), OLESTR("1")}};
  const std::int32_t types[] = {2, 1, 0, 1, 0, 0, 0, 0, 1, 0};
  for (std::size_t i = 0; i < std::size(elements); ++i) {
    record += OLESTR("\r\n");
    record += modVBTrace::CompleteNode(elements[i].first, elements[i].second, 2, types[i]);
  }
  record += OLESTR("\r\n");
  record += modVBTrace::NodeEnd(OLESTR("error"), 1);
  const std::string bytes = platform::to_ansi(record);
  std::vector<std::string> lines;
  for (std::string_view line : split_lines(bytes)) lines.emplace_back(line);
  return lines;
}

// Reads the errors file: the XML heading once at its top, then records of
// twelve lines, each the same record but for its description, which must be
// one of the writers' records of `kind`.
FileCheck check_errors_file(const OleString& file, std::string_view kind, int writers, int records,
                            bool* heading_once) {
  constexpr std::size_t kDescriptionLine = 5;
  const std::vector<std::string> shape = error_record_lines("");
  std::unordered_map<std::string, int> seen;
  for (int w = 0; w < writers; ++w) {
    for (int i = 0; i < records; ++i) {
      seen.emplace(error_record_lines(mw::record_text(w, kind, i))[kDescriptionLine], 0);
    }
  }
  FileCheck check;
  const std::string text = testing::read_file(file);
  check.ends_with_line_break = text.ends_with("\r\n");
  const std::vector<std::string_view> lines = split_lines(text);
  const std::string declaration = platform::to_ansi(modVBTrace::XMLVersionStatement());
  const std::string errors = platform::to_ansi(modVBTrace::NodeStart(OLESTR("Errors"), 0));
  *heading_once = lines.size() >= 2 && lines[0] == declaration && lines[1] == errors &&
                  std::count(lines.begin(), lines.end(), declaration) == 1 &&
                  std::count(lines.begin(), lines.end(), errors) == 1;
  for (std::size_t at = 2; at < lines.size();) {
    ++check.lines;
    bool shaped = at + shape.size() <= lines.size();
    for (std::size_t k = 0; shaped && k < shape.size(); ++k) {
      shaped = k == kDescriptionLine || lines[at + k] == shape[k];
    }
    const auto found = shaped ? seen.find(std::string(lines[at + kDescriptionLine])) : seen.end();
    if (found == seen.end()) {
      if (check.broken.size() < 5) check.broken.emplace_back(lines[at]);
      ++at;
      continue;
    }
    if (++found->second == 2) ++check.repeated;
    at += shape.size();
  }
  check.tally(seen);
  return check;
}

void expect_every_record_once(const FileCheck& check, std::size_t expected) {
  EXPECT_EQ(check.lines, expected);
  EXPECT_EQ(check.whole, expected);
  EXPECT_EQ(check.missing, 0u);
  EXPECT_EQ(check.repeated, 0u);
  EXPECT_TRUE(check.broken.empty()) << "first line that is no record: " << check.broken.front();
  EXPECT_TRUE(check.ends_with_line_break);
}

TEST(ManyWriters, EveryLineOnceAndWholeAndEveryCountKept) {
  constexpr int kWriters = 8;
  constexpr int kLines = 5000;
  constexpr int kErrors = 5000;
  constexpr int kCounts = 500;
  testing::TempFolder folder;
  const OleString log_folder = testing::ole_path(folder.path());

  platform::Processes& processes = platform::Processes::system();
  std::vector<platform::StartedProcess> started;
  for (int w = 0; w < kWriters; ++w) {
    const std::string line =
        "\"" + platform::to_ansi(testing::ole_path(writer_program())) + "\" \"" +
        platform::to_ansi(log_folder) + "\" " + std::to_string(w) +
        " trace=" + std::to_string(kLines) + " summary=" + std::to_string(kLines) +
        " error=" + std::to_string(kErrors) + " count=" + std::to_string(kCounts);
    started.push_back(processes.start(platform::from_ansi(line), true, false));
    ASSERT_NE(started.back().process, 0) << "could not start " << line;
  }
  std::ofstream(folder.path() / mw::kStartSignal).put('\n');
  for (const platform::StartedProcess& p : started) {
    EXPECT_EQ(processes.exit_code(p.process), 0u);
    processes.close(p.thread);
    processes.close(p.process);
  }

  const std::size_t expected = std::size_t{kWriters} * kLines;
  {
    SCOPED_TRACE("detail log");
    // The one writer that found the errors file missing says so, once.
    const FileCheck detail =
        check_log(folder.file("detail.log"), "\tCorvane\tmany.writers: ", "trace", kWriters, kLines,
                  "WriteErrorNode: Attempting to open");
    expect_every_record_once(detail, expected);
    EXPECT_EQ(detail.notes, 1u);
  }
  {
    SCOPED_TRACE("summary log");
    expect_every_record_once(check_log(folder.file("summary.log"), "\tCorvane\tmany.writers: \t",
                                       "summary", kWriters, kLines),
                             expected);
  }
  {
    SCOPED_TRACE("errors file");
    bool heading_once = false;
    expect_every_record_once(check_errors_file(folder.file("detailErrors.log"), "error", kWriters,
                                               kErrors, &heading_once),
                             std::size_t{kWriters} * kErrors);
    EXPECT_TRUE(heading_once) << "the XML heading is not the file's first two lines, once";
  }
  EXPECT_EQ(platform::Profiles::system().read(folder.file("Session.ini"), OLESTR("SessionStats"),
                                              OLESTR("Severity2Count"), OLESTR(""), 255),
            testing::wide(std::to_string(kWriters * kCounts)));
  EXPECT_FALSE(fs::exists(folder.path() / "PossibleErrors.log"));
}

TEST(SharedFileLock, OneHolderAtATimeWhateverTheSpelling) {
  testing::TempFolder folder;
  const OleString file = folder.file("Session.ini");
  OleString other_spelling = file;
  for (OLECHAR& c : other_spelling) {
    if (c == u'/') c = u'\\';
  }
  std::atomic<int> state{0};  // 1: first lock held; 2: second attempt done
  std::thread holder([&] {
    const platform::SharedFileLock lock(file, 1000);
    EXPECT_TRUE(lock.held());
    state = 1;
    while (state != 2) std::this_thread::yield();
  });
  while (state != 1) std::this_thread::yield();
  {
    const platform::SharedFileLock second(other_spelling, 50);
    EXPECT_FALSE(second.held()) << "two holders at once";
  }
  state = 2;
  holder.join();
  // Let go of when its holder is gone: the next one has it at once.
  const platform::SharedFileLock again(file, 0);
  EXPECT_TRUE(again.held());
  EXPECT_FALSE(platform::SharedFileLock(OleString(), 0).held());
}

TEST(SharedFileLock, NamesFoldCaseAndSlashesAndStayShort) {
  EXPECT_EQ(platform::file_lock_name(OLESTR("C:\\Logs\\Session.ini")),
            platform::file_lock_name(OLESTR("c:/logs/SESSION.INI")));
  EXPECT_NE(platform::file_lock_name(OLESTR("C:\\Logs\\Session.ini")),
            platform::file_lock_name(OLESTR("C:\\Logs2\\Session.ini")));
  const OleString long_path(5000, u'x');
  EXPECT_LT(platform::file_lock_name(long_path).size(), 64u);
}

}  // namespace
}  // namespace corvane
