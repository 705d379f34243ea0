// One of the processes of the many-writers test: initialises the component
// as a client does, waits for the start signal in the log folder, then writes
// its records to the shared detail log, summary log and errors file and
// counts in the shared session statistics, the kinds taking turns.
//
//   corvane_log_writer <log folder> <writer number> trace=N summary=N error=N count=N
//
// Exits with 0 when every record was handed over, 2 on bad arguments, 3 when
// the start signal never came.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "platform/debug_output.h"
#include "platform/text_encoding.h"
#include "string_list/clsStringList.h"
#include "support/many_writers.h"
#include "trace/summary_log.h"
#include "trace/trace_log.h"
#include "trace/xml_error_log.h"

namespace {

using namespace corvane;
namespace mw = corvane::testing::many_writers;

void write_record(mw::RecordKind kind, const OleString& text) {
  const OleString source = platform::from_ansi(std::string(mw::kSource));
  switch (kind) {
    case mw::RecordKind::kTrace:
      modVBTrace::GlobalTrace(source, text, 1, true, false, 1, false);
      break;
    case mw::RecordKind::kSummary:
      modVBTrace::GlobalSummaryLog(source, text, false, true, true, false);
      break;
    case mw::RecordKind::kError: {
      OleString detail_log_name = OLESTR("detail.log");
      modVBTrace::WriteErrorNode(detail_log_name, OLESTR("12-06-26 10:00:00"), OLESTR("2"), false,
                                 OLESTR("5"), text, OLESTR("Corvane"), OLESTR("many"),
                                 OLESTR("writers"), OLESTR("0"));
      break;
    }
    case mw::RecordKind::kCount:
      modVBTrace::IncrementFieldCount(4);
      break;
  }
}

bool wait_for_start(const std::filesystem::path& signal) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!std::filesystem::exists(signal)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string folder = argv[1];
  const int writer = std::atoi(argv[2]);
  std::map<mw::RecordKind, int> counts;
  for (int i = 3; i < argc; ++i) {
    const std::string argument = argv[i];
    const std::size_t eq = argument.find('=');
    bool known = false;
    for (const mw::RecordKindInfo& info : mw::kRecordKinds) {
      if (eq != std::string::npos && argument.substr(0, eq) == info.name) {
        counts[info.kind] = std::atoi(argument.c_str() + eq + 1);
        known = true;
      }
    }
    if (!known) return 2;
  }

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
  if (!wait_for_start(std::filesystem::path(folder) / mw::kStartSignal)) return 3;

  // Each kind's records are spread evenly over the run, so that the fewer
  // counter increments meet the lines of the other writers throughout.
  int most = 0;
  for (const auto& [kind, count] : counts) most = std::max(most, count);
  std::map<mw::RecordKind, int> written;
  for (long long step = 1; step <= most; ++step) {
    for (const mw::RecordKindInfo& info : mw::kRecordKinds) {
      const auto wanted = counts.find(info.kind);
      if (wanted == counts.end()) continue;
      int& done = written[info.kind];
      for (; done < step * wanted->second / most; ++done) {
        write_record(info.kind, platform::from_ansi(mw::record_text(writer, info.name, done)));
      }
    }
  }
  return 0;
}
