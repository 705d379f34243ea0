// `corvane view`: the suite's trace viewer, the receiving end of the trace
// library's forwarding. On Windows a window titled as the viewer; on Linux
// the viewer's socket, printing what arrives.
#pragma once

#include <string>

namespace corvane::viewer {

struct ViewOptions {
  std::string output;  // --output FILE: every record appended as it arrives
  std::string filter;  // --filter TEXT: show only records holding TEXT
  bool close = false;  // --close: close the running viewer
};

// The word "view" and its arguments: argv[0] is the first argument after it.
int view_command(int argc, char** argv);

// By system: runs the viewer until it is closed; asks the running one to
// close and waits until it has ended (1 when none runs).
int run_viewer(const ViewOptions& options);
int close_viewer();

}  // namespace corvane::viewer
