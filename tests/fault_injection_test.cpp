// Failures of the log files under a client's calls: opens that fail once, 100
// and 101 times, writes and closes that fail, a full disk, a folder that
// vanishes. The calls return normally, the fallbacks appear, and what the
// files held before stays whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
  std::size_t bad_puts() const {
    return h.shown("Unexpected parameter passed to StringList property");
  }
  TraceHarness h;
};

TEST_F(LogFileFaults, EveryFileThroughEveryFault) {
  for (const char* target : kFiles) {
    for (const Fault& fault : kFaults) {
      const std::string context = std::string(target) + " with " + fault.name;
      const std::size_t detail_before = text("detail.log").size();
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
      // Every file still starts with what it held and ends with a whole line.
      for (const char* name : kFiles) {
        const std::string t = text(name);
        EXPECT_EQ(t.rfind(kEarlier, 0), 0u) << context << ": " << name;
        EXPECT_TRUE(t.ends_with("\r\n")) << context << ": " << name;
      }
      EXPECT_EQ(platform::FreeFile(), 1) << context;  // no file number left behind
      // The box of the bad put is always shown, whatever was lost on the way.
      EXPECT_EQ(bad_puts(), 1u) << context;

      const std::string detail = text("detail.log").substr(detail_before);
      const std::string t = target;
      const char* fallback = nullptr;  // what the detail log shows of the fault
      if (t == "detail.log" && fault.opens_to_fail == 101) {
        EXPECT_TRUE(debug_output_holds("Couldn't open log in GlobalLog. Msg = ")) << context;
      } else if (t == "detail.log" && fault.opens_to_fail > 0) {
        fallback =
            "GlobalErrorsLog >>> clsStringList.ReplaceString";  // retried until it got through
      } else if (t == "summary.log" && fault.opens_to_fail == 101) {
        fallback = "modVBTrace.WriteToSummaryLog: Couldn't open log. Msg = ";
      } else if (t == "detailErrors.log") {
        fallback = "modVBTrace.WriteErrorNode: Unable to log to Quillon MT Error Table.";
        EXPECT_EQ(h.boxes.boxes.at(0).title, "Quillon MT Warning") << context;
      }
      if (fallback) {
        EXPECT_NE(detail.find(fallback), std::string::npos) << context;
      }
    }
  }
  // Without faults the next calls are written as ever.
  clsStringList list;
  client_calls(list);
  EXPECT_TRUE(text("detail.log").ends_with("User clicked: OK\r\n"));
}

TEST_F(LogFileFaults, AFolderThatVanishesAndComesBack) {
  clsStringList list;
  client_calls(list);
  fs::remove_all(h.folder.path());
  client_calls(list);  // every open fails: the calls return all the same
  EXPECT_EQ(bad_puts(), 2u);
  EXPECT_FALSE(h.debug_output.lines.empty());
  fs::create_directories(h.folder.path());
  client_calls(list);
  EXPECT_NE(text("detail.log").find("User clicked: OK\r\n"), std::string::npos);
  EXPECT_NE(text("summary.log").find("No strings in StringList"), std::string::npos);
}

#ifndef _WIN32
// A real full disk under the detail log: the system's own write failure.
TEST_F(LogFileFaults, AFullDiskUnderTheDetailLog) {
  modVBTrace::module_values().detail_log_path = OLESTR("/dev/full");
  clsStringList list;
  client_calls(list);  // every write of the detail log reports a full disk
  EXPECT_EQ(bad_puts(), 1u);
  EXPECT_NE(text("summary.log").find("No strings in StringList"), std::string::npos);
  EXPECT_NE(text("PossibleErrors.log").find("MSGBOX: Error -1"), std::string::npos);
}
#endif

}  // namespace
}  // namespace corvane
