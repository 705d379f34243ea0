// Failures of the log files under a client's calls: opens that fail once, 100
// and 101 times, writes and closes that fail, a full disk. The calls return
// normally, the fallbacks appear, and what the files held before stays whole.
#include <gtest/gtest.h>

#include "automation/variant.h"
#include "platform/file_numbers.h"
#include "string_list/clsStringList.h"
#include "support/log_capture.h"

namespace corvane {
namespace {

using namespace testing;

constexpr const char* kFiles[] = {"detail.log", "summary.log", "PossibleErrors.log",
                                  "detailErrors.log"};
constexpr const char* kEarlier = "an earlier line\r\n";

// What a client does that reaches every log file: a logged error (detail
// log, summary log, errors file) and a message box (all four, and the
// session statistics).
void client_calls() {
  clsStringList list;
  list.ReplaceString(0, OLESTR("x"));
  list.put_StringList(Variant().get());  // no list: refused
}

struct LogFileFaults : ::testing::Test {
  LogFileFaults() {
    for (const char* name : kFiles) h.folder.put(name, kEarlier);
  }
  std::string text(const char* name) const { return read_file(h.folder.file(name)); }
  std::size_t bad_puts() const {
    return h.shown("Unexpected parameter passed to StringList property");
  }
  TraceHarness h{2, true};
};

TEST_F(LogFileFaults, EveryFileThroughEveryFault) {
  // Its name, the opens that fail, whether writes fail and with which error,
  // whether closes fail.
  // clang-format off
  const std::tuple<const char*, int, bool, std::int32_t, bool> faults[] = {
      {"one failed open", 1, false, 57, false}, {"100 failed opens", 100, false, 57, false},
      {"101 failed opens", 101, false, 57, false}, {"failed writes", 0, true, 57, false},
      {"a full disk", 0, true, 61, false}, {"failed closes", 0, false, 57, true}};
  // clang-format on
  for (const std::string target : kFiles) {
    for (const auto& fault : faults) {
      SCOPED_TRACE(target + " with " + std::get<0>(fault));
      const std::size_t detail_before = text("detail.log").size();
      h.boxes.boxes.clear();
      h.debug_output.lines.clear();
      FaultyFiles files;
      files.only_paths_with = target;
      std::tie(std::ignore, files.opens_to_fail, files.fail_writes, files.write_error,
               files.fail_closes) = fault;
      std::optional<platform::Files::Override> use(files);
      client_calls();  // returns: nothing escapes
      use.reset();
      EXPECT_EQ(files.open_files, 0);
      // Every file still starts with what it held and ends with a whole line.
      for (const char* name : kFiles) {
        EXPECT_EQ(text(name).rfind(kEarlier, 0), 0u) << name;
        EXPECT_TRUE(text(name).ends_with("\r\n")) << name;
      }
      EXPECT_EQ(platform::FreeFile(), 1);  // no file number left behind
      // The box of the bad put is always shown, whatever was lost on the way.
      EXPECT_EQ(bad_puts(), 1u);

      // What the detail log (or the debugger output) shows of the fault: an
      // open retried until it got through, a line given up, a lost record.
      const bool lost = std::get<1>(fault) == 101;
      std::string fallback, debug;
      for (const std::string& line : h.debug_output.lines) debug += line;
      if (target == "detail.log" && std::get<1>(fault) > 0)
        fallback = lost ? "" : "GlobalErrorsLog >>> clsStringList.ReplaceString";
      if (target == "summary.log" && lost)
        fallback = "modVBTrace.WriteToSummaryLog: Couldn't open log. Msg = ";
      if (target == "detailErrors.log")
        fallback = "modVBTrace.WriteErrorNode: Unable to log to Quillon MT Error Table.";
      EXPECT_NE(text("detail.log").substr(detail_before).find(fallback), std::string::npos);
      EXPECT_EQ(count_of(debug, "Couldn't open log in GlobalLog. Msg = ") > 0,
                target == "detail.log" && lost);
      EXPECT_TRUE(target != "detailErrors.log" ||
                  h.boxes.boxes.at(0).title == "Quillon MT Warning");
    }
  }
  // Without faults the next calls are written as ever.
  client_calls();
  EXPECT_TRUE(text("detail.log").ends_with("User clicked: OK\r\n"));
}

#ifndef _WIN32
// A real full disk under the detail log: the system's own write failure.
TEST_F(LogFileFaults, AFullDiskUnderTheDetailLog) {
  modVBTrace::module_values().detail_log_path = OLESTR("/dev/full");
  client_calls();  // every write of the detail log reports a full disk
  EXPECT_EQ(bad_puts(), 1u);
  EXPECT_NE(text("summary.log").find("No strings in StringList"), std::string::npos);
  EXPECT_NE(text("PossibleErrors.log").find("MSGBOX: Error -1"), std::string::npos);
}
#endif

}  // namespace
}  // namespace corvane
