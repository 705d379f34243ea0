// A host process for the routines that end the process they run in:
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
#include <fstream>
#include <string>

#include "automation/vb_text.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "trace/crash_handling.h"
#include "trace/message_boxes.h"
#include "trace/module_values.h"
#include "trace/xml_error_log.h"

namespace {

struct BoxFile final : corvane::platform::MessageBoxes {
  std::int32_t show(corvane::OleStringView text, corvane::OleStringView title,
                    std::int32_t style) override {
    std::ofstream(path, std::ios::app | std::ios::binary)
        << corvane::to_utf8(title) << '\t' << style << '\t' << corvane::to_utf8(text) << '\n';
    return 1;
  }
  std::string path;
};

struct FixedClock final : corvane::platform::Clock {
  corvane::platform::LocalTime local_time() override { return {2026, 2, 0, 1, 9, 5, 3, 7}; }
  std::string time_separator() override { return ":"; }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane;
  if (argc < 4) return 2;
  BoxFile boxes;
  boxes.path = std::string(argv[1]) + "/boxes.txt";
  const platform::MessageBoxes::Override no_screen(boxes);
  FixedClock clock;
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
