// corvane report LOGDIR [-o FILE]: writes the HTML report of a log folder.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace corvane::report {

// `args` are the words after "report". Prints where the page was written to
// `out`, a failure to `err`; the exit code (2 for bad arguments).
int report_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace corvane::report
