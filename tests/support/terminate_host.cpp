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
// The side-file folder is also the log folder. Message boxes are not shown:
// each is appended to SIDE_FOLDER/boxes.txt as title TAB style TAB text and
// answered OK. Exit code 3 when the routine came back.
#include <cstdio>
#include <fstream>
#include <string>

#include "automation/vb_text.h"
#include "platform/message_box.h"
#include "trace/crash_handling.h"
#include "trace/message_boxes.h"
#include "trace/module_values.h"
#include "trace/xml_error_log.h"

namespace {

class BoxFile final : public corvane::platform::MessageBoxes {
 public:
  explicit BoxFile(std::string path) : path_(std::move(path)) {}
  std::int32_t show(corvane::OleStringView text, corvane::OleStringView title,
                    std::int32_t style) override {
    std::ofstream(path_, std::ios::app | std::ios::binary)
        << corvane::to_utf8(title) << '\t' << style << '\t' << corvane::to_utf8(text) << '\n';
    return 1;
  }

 private:
  std::string path_;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane;
  if (argc < 4) return 2;
  BoxFile boxes(std::string(argv[1]) + "/boxes.txt");
  const platform::MessageBoxes::Override no_screen(boxes);
  modVBTrace::ModuleValues& values = modVBTrace::module_values();
  values.process_name = OleString(OLESTR("Corvane"));
  values.trace_level = 2;
  values.app_path = from_utf8(argv[1]);
  values.module_path = from_utf8(argv[2]);
  values.detail_log_path = from_utf8(argv[3]);
  const std::string mode = argc >= 5 ? argv[4] : "";
  if (mode == "errmsgbox" && argc >= 6) {
    values.log_folder = from_utf8(argv[1]);
    OleString text = OLESTR("Error ") + from_utf8(argv[5]) +
                     OLESTR(
                         ": Test failure\r\nin Corvane.modTest.Routine.\r\n"
                         "The error occured at line: 42");
    modVBTrace::ErrMsgBox(text, 4096, OLESTR("Error"), true);
  } else if (mode == "report") {
    values.log_folder = from_utf8(argv[1]);
    modVBTrace::AppendErrorNode(2, OLESTR("reported"), false, OLESTR("5"), OLESTR("10"),
                                OLESTR("modX.routineY"));
  } else {
    std::int32_t pid = 0;
    modVBTrace::CallTerminateQuillon(pid, false, true, true);
    std::printf("came back, pid %d\n", static_cast<int>(pid));
  }
  return 3;
}
