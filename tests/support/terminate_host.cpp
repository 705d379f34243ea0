// A host process for CallTerminateQuillon, which ends the process it runs
// in: `corvane_terminate_host SIDE_FOLDER MODULE_FOLDER DETAIL_LOG` sets the
// side-file folder, the module folder and the detail log, then calls it with
// (0, False, True, True). Exit code 3 when it came back.
#include <cstdio>

#include "automation/vb_text.h"
#include "trace/crash_handling.h"
#include "trace/module_values.h"

int main(int argc, char** argv) {
  using namespace corvane;
  if (argc < 4) return 2;
  modVBTrace::ModuleValues& values = modVBTrace::module_values();
  values.process_name = OleString(OLESTR("Corvane"));
  values.trace_level = 2;
  values.app_path = from_utf8(argv[1]);
  values.module_path = from_utf8(argv[2]);
  values.detail_log_path = from_utf8(argv[3]);
  std::int32_t pid = 0;
  modVBTrace::CallTerminateQuillon(pid, false, true, true);
  std::printf("came back, pid %d\n", static_cast<int>(pid));
  return 3;
}
