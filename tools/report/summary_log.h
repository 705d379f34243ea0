// The summary log's lines: "MM-dd-yy HH:mm:ss.mmm" TAB process TAB source
// ": " TAB message, each ended by CR LF; an error's line follows an empty line
// (GlobalErrorsLog writes it with a leading break).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/report/log_text.h"

namespace corvane::report {

struct SummaryLine {
  LogTime time;
  bool error = false;  // written with a leading break: an error's line
  std::string process, source, message;
};

// The stamped lines of a summary log, in file order; lines of other forms
// (a message's own line breaks, unstamped lines) are left out.
std::vector<SummaryLine> read_summary_log(std::string_view bytes);

// Whether a log's text is a summary log: most of its stamped lines have the
// summary form (a detail log's lines have no TAB after the source).
bool is_summary_log(std::string_view bytes);

}  // namespace corvane::report
