// Failures of the log files under a client's calls: opens that fail once, 100
// and 101 times, writes and closes that fail, a full disk, a read-only
// folder, a folder that vanishes. The calls return normally, the fallbacks appear, and what the
// files held before stays whole.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "automation/variant.h"
#include "platform/file_numbers.h"
#include "string_list/clsStringList.h"
#include "support/log_capture.h"
#include "trace/module_values.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::TraceHarness;

constexpr const char* kFiles[] = {"detail.log", "summary.log", "PossibleErrors.log",
                                  "detailErrors.log"};
constexpr const char* kEarlier = "an earlier line\r\n";

// What a client does that reaches every log file: a logged error (detail
// log, summary log, errors file) and a message box (all four, and the
// session statistics).
void client_calls(clsStringList& list) {
  list.ReplaceString(0, OLESTR("x"));
  Variant number;
  number.get().vt = VT_I4;
  number.get().lVal = 3;
  list.put_StringList(number.get());
}

struct Fault {
  const char* name;
  int opens_to_fail;
  bool fail_writes;
  std::int32_t write_error;
  bool fail_closes;
};

constexpr Fault kFaults[] = {
    {"one failed open", 1, false, 57, false},    {"100 failed opens", 100, false, 57, false},
    {"101 failed opens", 101, false, 57, false}, {"failed writes", 0, true, 57, false},
    {"a full disk", 0, true, 61, false},         {"failed closes", 0, false, 57, true},
};

class LogFileFaults : public ::testing::Test {
 protected:
  LogFileFaults() {
    h.init(2);
    h.side_files_here();
    for (const char* name : kFiles)
      std::ofstream(h.folder.path() / name, std::ios::binary) << kEarlier;
  }
  bool debug_output_holds(const std::string& what) const {
    for (const std::string& line : h.debug_output.lines)
      if (line.find(what) != std::string::npos) return true;
    return false;
  }
  std::string text(const char* name) const {
    return testing::read_file(testing::ole_path(h.folder.path() / name));
  }
  // Every file still starts with what it held and ends with a whole line.
  void expect_files_whole(const std::string& context) {
    for (const char* name : kFiles) {
      const std::string t = text(name);
      EXPECT_EQ(t.rfind(kEarlier, 0), 0u) << context << ": " << name;
      EXPECT_EQ(t.substr(t.size() - 2), "\r\n") << context << ": " << name;
    }
  }
  TraceHarness h;
};

TEST_F(LogFileFaults, EveryFileThroughEveryFault) {
  for (const char* target : kFiles) {
    for (const Fault& fault : kFaults) {
      const std::string context = std::string(target) + " with " + fault.name;
      const std::string detail_before = text("detail.log");
      h.boxes.boxes.clear();
      h.debug_output.lines.clear();
      {
        testing::FaultyFiles files;
        files.only_paths_with = target;
        files.opens_to_fail = fault.opens_to_fail;
        files.fail_writes = fault.fail_writes;
        files.write_error = fault.write_error;
        files.fail_closes = fault.fail_closes;
        platform::Files::Override use(files);
        clsStringList list;
        client_calls(list);  // returns: nothing escapes
        EXPECT_EQ(files.open_files, 0) << context;
      }
      expect_files_whole(context);
      EXPECT_EQ(platform::FreeFile(), 1) << context;  // no file number left behind

      const std::string detail = text("detail.log").substr(detail_before.size());
      const std::string t = target;
      if (t == "detail.log" && fault.opens_to_fail == 101) {
        EXPECT_TRUE(debug_output_holds("Couldn't open log in GlobalLog. Msg = ")) << context;
      } else if (t == "detail.log" && fault.opens_to_fail > 0) {
        EXPECT_NE(detail.find("GlobalErrorsLog >>> clsStringList.ReplaceString"),
                  std::string::npos)
            << context;  // retried until it got through
      } else if (t == "summary.log" && fault.opens_to_fail == 101) {
        EXPECT_NE(detail.find("modVBTrace.WriteToSummaryLog: Couldn't open log. Msg = "),
                  std::string::npos)
            << context;
      } else if (t == "detailErrors.log") {
        EXPECT_NE(
            detail.find("modVBTrace.WriteErrorNode: Unable to log to Quillon MT Error Table."),
            std::string::npos)
            << context;
        ASSERT_FALSE(h.boxes.boxes.empty()) << context;
        EXPECT_EQ(h.boxes.boxes[0].title, "Quillon MT Warning") << context;
      }
      // The box of the bad put is always shown, whatever was lost on the way.
      EXPECT_EQ(h.shown("Unexpected parameter passed to StringList property"), 1u) << context;
    }
  }
  // Without faults the next calls are written as ever.
  clsStringList list;
  client_calls(list);
  const std::string detail = text("detail.log");
  EXPECT_NE(detail.rfind("User clicked: OK\r\n"), std::string::npos);
  EXPECT_EQ(detail.substr(detail.size() - 18), "User clicked: OK\r\n");
}

TEST_F(LogFileFaults, AFolderThatVanishesAndComesBack) {
  clsStringList list;
  client_calls(list);
  fs::remove_all(h.folder.path());
  client_calls(list);  // every open fails: the calls return all the same
  EXPECT_EQ(h.shown("Unexpected parameter passed to StringList property"), 2u);
  EXPECT_FALSE(h.debug_output.lines.empty());
  fs::create_directories(h.folder.path());
  client_calls(list);
  EXPECT_NE(testing::read_file(h.detail_log()).find("User clicked: OK\r\n"), std::string::npos);
  EXPECT_NE(testing::read_file(h.summary_log()).find("No strings in StringList"),
            std::string::npos);
}

#ifndef _WIN32
// A folder the process may not write to, whose files it may not write
// either: every open is refused. The calls return, the box is still shown,
// the failure reaches the debugger output, and the folder is as it was. A
// superuser may write anywhere, so it acts as an ordinary user meanwhile.
class ActingAsNobody {
 public:
  ActingAsNobody() : root_(::geteuid() == 0) {
    if (root_) {
      EXPECT_EQ(::setegid(65534), 0);
      EXPECT_EQ(::seteuid(65534), 0);
    }
  }
  ~ActingAsNobody() {
    if (root_ && (::seteuid(0) != 0 || ::setegid(0) != 0)) std::abort();
  }
  ActingAsNobody(const ActingAsNobody&) = delete;
  ActingAsNobody& operator=(const ActingAsNobody&) = delete;

 private:
  bool root_;
};

TEST_F(LogFileFaults, AReadOnlyFolder) {
  for (const char* name : kFiles) fs::permissions(h.folder.path() / name, fs::perms(0444));
  fs::permissions(h.folder.path(), fs::perms(0555));
  {
    ActingAsNobody nobody;
    clsStringList list;
    client_calls(list);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(h.folder.path())) ++files;
    EXPECT_EQ(files, std::size(kFiles));
    for (const char* name : kFiles) EXPECT_EQ(text(name), kEarlier) << name;
  }
  EXPECT_EQ(h.shown("Unexpected parameter passed to StringList property"), 1u);
  EXPECT_TRUE(debug_output_holds("Couldn't open log in GlobalLog. Msg = "));
  fs::permissions(h.folder.path(), fs::perms(0755));
  for (const char* name : kFiles) fs::permissions(h.folder.path() / name, fs::perms(0644));
}

TEST_F(LogFileFaults, AFullDiskUnderTheDetailLog) {
  modVBTrace::module_values().detail_log_path = OLESTR("/dev/full");
  clsStringList list;
  client_calls(list);  // every write of the detail log reports a full disk
  EXPECT_EQ(h.shown("Unexpected parameter passed to StringList property"), 1u);
  EXPECT_NE(testing::read_file(h.summary_log()).find("No strings in StringList"),
            std::string::npos);
  EXPECT_NE(testing::read_file(testing::ole_path(h.folder.path() / "PossibleErrors.log"))
                .find("MSGBOX: Error -1"),
            std::string::npos);
}
#endif

}  // namespace
}  // namespace corvane
