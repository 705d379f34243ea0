// One of the processes of the many-writers test: initialises the component
// as a client does, waits for the start signal in the log folder, then writes
// `records` lines to the shared detail log, as many to the summary log and
// records to the errors file, and counts `counts` times in the shared session
// statistics, the kinds taking turns.
//
//   corvane_log_writer <log folder> <writer number> <records> <counts>
//
// Exits with 0 when every record was handed over, 2 on bad arguments, 3 when
// the start signal never came.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/debug_output.h"
#include "platform/text_encoding.h"
#include "string_list/clsStringList.h"
#include "support/many_writers.h"
#include "trace/summary_log.h"
#include "trace/trace_log.h"
#include "trace/xml_error_log.h"

int main(int argc, char** argv) {
  using namespace corvane;
  if (argc != 5) return 2;
  const std::string folder = argv[1];
  const int writer = std::atoi(argv[2]), records = std::atoi(argv[3]), counts = std::atoi(argv[4]);
  if (records < counts || counts < 1) return 2;

  // What goes to the debugger is not what this test looks at, and under
  // wine each piece of it is slow: it goes nowhere.
  struct NoDebugger final : platform::DebugOutput {
    void write(std::string_view) override {}
  } no_debugger;
  const platform::DebugOutput::Override quiet(no_debugger);

  clsStringList list;
  const OleString ole_folder = platform::from_ansi(folder);
  list.Init(ole_folder + OLESTR("\\detail.log"), ole_folder + OLESTR("\\summary.log"), ole_folder,
            2);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!std::filesystem::exists(std::filesystem::path(folder) /
                                  testing::many_writers::kStartSignal)) {
    if (std::chrono::steady_clock::now() > deadline) return 3;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  const OleString source = OLESTR("many.writers");
  auto text = [&](const char* kind, int i) {
    return platform::from_ansi(testing::many_writers::record_text(writer, kind, i));
  };
  // The counter increments are spread evenly over the run, so that they
  // meet the lines of the other writers throughout.
  for (int i = 0, counted = 0; i < records; ++i) {
    modVBTrace::GlobalTrace(source, text("trace", i), 1, true, false, 1, false);
    modVBTrace::GlobalSummaryLog(source, text("summary", i), false, true, true, false);
    OleString detail_log_name = OLESTR("detail.log");
    modVBTrace::WriteErrorNode(detail_log_name, OLESTR("12-06-26 10:00:00"), OLESTR("2"), false,
                               OLESTR("5"), text("error", i), OLESTR("Corvane"), OLESTR("many"),
                               OLESTR("writers"), OLESTR("0"));
    for (; counted < static_cast<long long>(i + 1) * counts / records; ++counted)
      modVBTrace::IncrementFieldCount(4);
  }
  return 0;
}
