// A client process for the report's end-to-end test: initialises the
// component as a client does, with LOG_FOLDER as its log folder (detail.log
// and summary.log in it), and writes through the library:
//
//   corvane_report_writer LOG_FOLDER ACTION...
//     SEVERITY|NUMBER|MODULE.MEMBER|DESCRIPTION
//         GlobalErrorsLog with the standard error message of that error
//         (line 7), to the summary log and the error table
//     count=FIELD
//         IncrementFieldCount(FIELD) in the session statistics
//     cut=SEVERITY|NUMBER|MODULE.MEMBER|DESCRIPTION
//         the same error, but the process ends halfway through writing its
//         record, as a process that is killed while it writes
//
// Arguments are in the ANSI code page. Exit code 0, 2 for a bad action.
#include <cstdlib>
#include <string>
#include <vector>

#include "automation/vb_text.h"
#include "platform/text_encoding.h"
#include "string_list/clsStringList.h"
#include "support/log_capture.h"
#include "trace/summary_log.h"

namespace {

using namespace corvane;

// Files that write only the first half of an error record and then end the
// process.
struct DyingFiles final : testing::PassThroughFiles {
  void write(Handle file, std::string_view bytes) override {
    if (bytes.find("<error>") == std::string_view::npos) return sys().write(file, bytes);
    sys().write(file, bytes.substr(0, bytes.size() / 2));
    sys().close(file);
    std::_Exit(0);
  }
};

bool report_error(const std::string& action) {
  std::vector<std::string> fields;
  for (std::size_t at = 0;;) {
    const std::size_t bar = fields.size() < 3 ? action.find('|', at) : std::string::npos;
    fields.push_back(action.substr(at, bar == std::string::npos ? bar : bar - at));
    if (bar == std::string::npos) break;
    at = bar + 1;
  }
  if (fields.size() != 4) return false;
  const OleString message =
      platform::from_ansi("Error " + fields[1] + ": " + fields[3] + "\r\nin Corvane." + fields[2] +
                          ".\r\nThe error occured at line: 7");
  modVBTrace::GlobalErrorsLog(platform::from_ansi(fields[2]), message, std::atoi(fields[0].c_str()),
                              true, true);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  clsStringList list;
  const OleString folder = platform::from_ansi(argv[1]);
  list.Init(folder + OLESTR("\\detail.log"), folder + OLESTR("\\summary.log"), folder, 2);
  DyingFiles dying;
  for (int i = 2; i < argc; ++i) {
    const std::string action = argv[i];
    if (action.rfind("count=", 0) == 0) {
      modVBTrace::IncrementFieldCount(std::atoi(action.c_str() + 6));
    } else if (action.rfind("cut=", 0) == 0) {
      const platform::Files::Override cut_short(dying);
      report_error(action.substr(4));
      return 2;  // the record was written whole
    } else if (!report_error(action)) {
      return 2;
    }
  }
  return 0;
}
