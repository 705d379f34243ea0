#include "tools/viewer/view_command.h"

#include <iostream>
#include <string_view>

namespace corvane::viewer {

namespace {

constexpr const char* kViewUsage = R"usage(usage: corvane view [--output FILE] [--filter TEXT]
       corvane view --close

Receives what the trace library forwards to the suite's trace viewer: while
the viewer runs, a component in the suite sends its detail log (kind
"detail"), summary log ("summary") and XML error records ("errors") here
instead of writing its files. One record a line: kind, TAB, local time of
arrival, TAB, the text (line breaks inside it shown as \r and \n).

On Windows a window with the viewer's title: filters by kind and text, pause
(records keep arriving, the list holds still), clear, save to a file. On
Linux the records are printed to standard output (coloured by kind on a
terminal) until Ctrl+C.

  --output FILE   append every record to FILE as it arrives (all kinds,
                  whatever the filter)
  --filter TEXT   show only records whose text holds TEXT (ASCII letters in
                  either case)
  --close         close the running viewer, and wait until it has ended
)usage";

}  // namespace

int view_command(int argc, char** argv) {
  ViewOptions options;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kViewUsage;
      return 0;
    } else if (arg == "--close") {
      options.close = true;
    } else if ((arg == "--output" || arg == "--filter") && i + 1 < argc) {
      (arg == "--output" ? options.output : options.filter) = argv[++i];
    } else {
      std::cerr << "corvane view: bad arguments\n\n" << kViewUsage;
      return 2;
    }
  }
  if (options.close) {
    if (!options.output.empty() || !options.filter.empty()) {
      std::cerr << "corvane view: --close takes no other option\n";
      return 2;
    }
    return close_viewer();
  }
  return run_viewer(options);
}

}  // namespace corvane::viewer
