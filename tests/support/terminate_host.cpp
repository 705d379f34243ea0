// A host process for the trace library's routines that need a process of
// their own: those that end the process they run in, and the writers of the
// many-writers test.
//
//   corvane_terminate_host SIDE_FOLDER MODULE_FOLDER DETAIL_LOG
//       CallTerminateQuillon(0, False, True, True)
//   corvane_terminate_host SIDE_FOLDER MODULE_FOLDER DETAIL_LOG errmsgbox NUMBER
//       ErrMsgBox as an error trap calls it, for error NUMBER of
//       modTest.Routine at line 42
//   corvane_terminate_host SIDE_FOLDER MODULE_FOLDER DETAIL_LOG report
//       AppendErrorNode for one error
//
// The side-file folder is also the log folder; the clock stands at the test
// harness's time (1 February 2026, 09:05:03.007). Message boxes are not
// shown: each is appended to SIDE_FOLDER/boxes.txt as title TAB style TAB
// text and answered OK. Exit code 3 when the routine came back.
//
//   corvane_terminate_host write LOG_FOLDER WRITER RECORDS COUNTS
//
// initialises the component as a client does, waits for the start signal in
// the log folder, then writes RECORDS lines to the shared detail log, as many
// to the summary log and records to the errors file, and counts COUNTS times
// in the shared session statistics, the kinds taking turns (see
// support/many_writers.h). Exit code 0 when every record was handed over, 3
// when the start signal never came.
#include <fstream>
#include <thread>

#include "automation/vb_text.h"
#include "string_list/clsStringList.h"
#include "support/log_capture.h"
#include "support/many_writers.h"
#include "trace/crash_handling.h"
#include "trace/message_boxes.h"
#include "trace/summary_log.h"
#include "trace/trace_log.h"
#include "trace/xml_error_log.h"

namespace {

using namespace corvane;

int write_logs(const std::string& folder, int writer, int records, int counts) {
  // What goes to the debugger is not what this test looks at, and under
  // wine each piece of it is slow: it goes nowhere.
  struct NoDebugger final : platform::DebugOutput {
    void write(std::string_view) override {}
  } no_debugger;
  const platform::DebugOutput::Override quiet(no_debugger);
  clsStringList list;
  const OleString ole_folder = from_utf8(folder);
  list.Init(ole_folder + OLESTR("\\detail.log"), ole_folder + OLESTR("\\summary.log"), ole_folder,
            2);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!std::filesystem::exists(std::filesystem::path(folder) /
                                  testing::many_writers::kStartSignal)) {
    if (std::chrono::steady_clock::now() > deadline) return 3;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  auto text = [&](const char* kind, int i) {
    return from_utf8(testing::many_writers::record_text(writer, kind, i));
  };
  // The counter increments are spread evenly over the run, so that they
  // meet the lines of the other writers throughout.
  for (int i = 0, counted = 0; i < records; ++i) {
    modVBTrace::GlobalTrace(OLESTR("many.writers"), text("trace", i), 1, true, false, 1, false);
    modVBTrace::GlobalSummaryLog(OLESTR("many.writers"), text("summary", i), false, true, true,
                                 false);
    OleString log_name = OLESTR("detail.log");
    modVBTrace::WriteErrorNode(log_name, OLESTR("12-06-26 10:00:00"), OLESTR("2"), false,
                               OLESTR("5"), text("error", i), OLESTR("Corvane"), OLESTR("many"),
                               OLESTR("writers"), OLESTR("0"));
    for (; counted < static_cast<long long>(i + 1) * counts / records; ++counted)
      modVBTrace::IncrementFieldCount(4);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "write")
    return write_logs(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
  if (argc < 4) return 2;
  testing::RecordingMessageBoxes boxes;
  boxes.on_show = [&] {
    const auto& box = boxes.boxes.back();
    std::ofstream(std::string(argv[1]) + "/boxes.txt", std::ios::app | std::ios::binary)
        << box.title << '\t' << box.style << '\t' << box.text << '\n';
  };
  const platform::MessageBoxes::Override no_screen(boxes);
  testing::FixedClock clock;
  const platform::Clock::Override fixed(clock);
  modVBTrace::ModuleValues& values = modVBTrace::module_values();
  values.process_name = OleString(OLESTR("Corvane"));
  values.trace_level = 2;
  values.app_path = values.log_folder = from_utf8(argv[1]);
  values.module_path = from_utf8(argv[2]);
  values.detail_log_path = from_utf8(argv[3]);
  const std::string mode = argc >= 5 ? argv[4] : "";
  if (mode == "errmsgbox" && argc >= 6) {
    OleString text = from_utf8("Error " + std::string(argv[5]) +
                               ": Test failure\r\nin Corvane.modTest.Routine.\r\nThe error "
                               "occured at line: 42");
    modVBTrace::ErrMsgBox(text, 4096, OLESTR("Error"), true);
  } else if (mode == "report") {
    modVBTrace::AppendErrorNode(2, OLESTR("reported"), false, OLESTR("5"), OLESTR("10"),
                                OLESTR("modX.routineY"));
  } else {
    std::int32_t pid = 0;
    modVBTrace::CallTerminateQuillon(pid, false, true, true);
  }
  return 3;
}
