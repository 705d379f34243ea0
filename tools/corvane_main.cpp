// corvane: a command-line host for the string list object. It loads a list
// (one entry a line) into a clsStringList, initialises the trace library with
// the given log paths and trace level, applies the requested replacements and
// prints what the object answers.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "automation/bstr.h"
#include "automation/error.h"
#include "automation/safe_array.h"
#include "automation/variant.h"
#include "automation/vb_text.h"
#include "string_list/clsStringList.h"
#include "tools/report/report_command.h"
#include "tools/viewer/view_command.h"
#include "trace/summary_log.h"

namespace {

constexpr const char* kUsage = R"usage(usage: corvane [options] [LIST_FILE]
       corvane match [--long] TARGET [options] [LIST_FILE]
       corvane prefix PREFIX [options] [LIST_FILE]
       corvane describe TEXT [--with-code] [options] [LIST_FILE]
       corvane stats --log-dir DIR
       corvane report LOGDIR [-o FILE]
       corvane view [--output FILE] [--filter TEXT] | --close

Loads LIST_FILE (one entry a line, UTF-8; standard input when it is missing
or '-') into a string list object, calls its Init with the log options below,
applies every --replace in order, then:

  (no command)  prints the list as the object gives it back: one line per
                entry, index, TAB, text
  match         exact match (lfnMatch): the index, TAB, the entry; -1 when
                nothing matches. The list must be sorted as the search
                compares: by the system's collation ignoring case, or with
                --long by numeric value. "-1 (no search)" when --long is given
                a target that is no number.
  prefix        prefix location (lfnMatchingPrefixLocation): the first entry
                that begins with PREFIX, else the last entry before it
  describe      whether TEXT ends in a numeric code (bfnDescriptionContainsCode),
                then the description search (lfnMatchingPrefixLocationServerChange):
                the index of the entry whose description equals TEXT (codes
                ignored unless --with-code), TAB, the entry; -1 when none
  stats         prints the session statistics kept in DIR\Session.ini
                (section SessionStats), one Key=Value line per field; reads
                no list
  report        writes one self-contained HTML page (LOGDIR/report.html or
                FILE) of the log folder LOGDIR (the folder of Logs and Errors,
                the Logs folder, or a folder holding the files): the errors
                grouped by source and number, the session statistics, the
                errors over time; reads no list
  view          the suite's trace viewer: shows what components forward to
                it (corvane view --help)

options:
  --detail-log FILE     detail log the trace library writes (Init's sGlobalLog)
  --summary-log FILE    summary log (Init's sGlobalSummaryLog)
  --log-dir DIR         log folder (Init's sLogFilePath): holds the session
                        statistics (Session.ini) and PossibleErrors.log
  --trace-level N       trace level: 1 summary lines, 2 errors and events
                        (the default), 4 detailed progress
  --replace INDEX=TEXT  replace the entry at INDEX by TEXT (ReplaceString);
                        an index outside the list is logged, not fatal
  --help                show this text

Without --detail-log nothing is written to a file. Set CORVANE_DEBUG_OUTPUT to
a file name to collect the debugger-output copy of every trace line there.
)usage";

struct Options {
  std::string command;   // "", "match", "prefix" or "describe"
  std::string argument;  // the command's TARGET, PREFIX or TEXT
  bool as_long = false;
  bool with_code = false;
  std::string detail_log;
  std::string summary_log;
  std::string log_dir;
  long trace_level = 2;
  std::vector<std::pair<long, std::string>> replacements;
  std::string list_file;
};

bool parse_long(const std::string& text, long* value) {
  char* end = nullptr;
  *value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && end != nullptr && *end == '\0';
}

// Returns 0 to go on, or the exit code to stop with.
int parse(int argc, char** argv, Options* options) {
  bool needs_argument = false;  // a command waits for its TARGET, PREFIX or TEXT
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return -1;
    } else if (arg == "--detail-log") {
      if (!value(&options->detail_log)) return 2;
    } else if (arg == "--summary-log") {
      if (!value(&options->summary_log)) return 2;
    } else if (arg == "--log-dir") {
      if (!value(&options->log_dir)) return 2;
    } else if (arg == "--trace-level") {
      if (!value(&text) || !parse_long(text, &options->trace_level)) return 2;
    } else if (arg == "--replace") {
      long index = 0;
      if (!value(&text)) return 2;
      const std::size_t eq = text.find('=');
      if (eq == std::string::npos || !parse_long(text.substr(0, eq), &index)) return 2;
      options->replacements.emplace_back(index, text.substr(eq + 1));
    } else if (arg == "--long") {
      options->as_long = true;
    } else if (arg == "--with-code") {
      options->with_code = true;
    } else if (needs_argument) {  // may start with '-': a negative number
      options->argument = arg;
      needs_argument = false;
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      return 2;
    } else if (options->command.empty() && options->list_file.empty() && arg == "stats") {
      options->command = arg;
    } else if (options->command.empty() && options->list_file.empty() &&
               (arg == "match" || arg == "prefix" || arg == "describe")) {
      options->command = arg;
      needs_argument = true;
    } else if (options->list_file.empty()) {
      options->list_file = arg;
    } else {
      return 2;
    }
  }
  return needs_argument ? 2 : 0;
}

std::vector<std::string> read_lines(std::istream& in) {
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

corvane::Variant as_string_array(const std::vector<std::string>& lines) {
  std::vector<corvane::OleString> items;
  items.reserve(lines.size());
  for (const std::string& line : lines) items.push_back(corvane::from_utf8(line));
  return corvane::string_array_variant(corvane::string_array_from(0, items));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane;
  try {
    if (argc >= 2 && std::string(argv[1]) == "report") {
      return report::report_command({argv + 2, argv + argc}, std::cout, std::cerr);
    }
    if (argc > 1 && std::string(argv[1]) == "view") return viewer::view_command(argc - 2, argv + 2);
  } catch (const std::exception& e) {  // a folder that cannot be read, memory
    std::cerr << "corvane: " << e.what() << '\n';
    return 1;
  }
  Options options;
  if (const int code = parse(argc, argv, &options); code != 0) {
    if (code > 0) std::cerr << "corvane: bad arguments\n\n" << kUsage;
    return code > 0 ? code : 0;
  }

  if (options.command == "stats") {
    clsStringList list;
    list.Init(from_utf8(options.detail_log), from_utf8(options.summary_log),
              from_utf8(options.log_dir), static_cast<std::int32_t>(options.trace_level));
    for (std::int32_t field = 0; field < modVBTrace::kSessionStatFields; ++field) {
      std::cout << to_utf8(modVBTrace::sfnSessionStatFieldName(field)) << '='
                << to_utf8(modVBTrace::sfnReadSessionStat(field)) << '\n';
    }
    return 0;
  }

  std::vector<std::string> lines;
  if (options.list_file.empty() || options.list_file == "-") {
    lines = read_lines(std::cin);
  } else {
    std::ifstream in(options.list_file, std::ios::binary);
    if (!in) {
      std::cerr << "corvane: cannot read " << options.list_file << '\n';
      return 1;
    }
    lines = read_lines(in);
  }

  try {
    clsStringList list;
    list.Init(from_utf8(options.detail_log), from_utf8(options.summary_log),
              from_utf8(options.log_dir), static_cast<std::int32_t>(options.trace_level));
    list.put_StringList(as_string_array(lines).get());
    for (const auto& [index, text] : options.replacements) {
      list.ReplaceString(static_cast<std::int32_t>(index), from_utf8(text));
    }

    Variant back = list.get_StringList();
    SAFEARRAY* array = back.get().parray;
    // The entry at an index the object answered, when there is one.
    auto entry_at = [&](std::int32_t index) -> std::string {
      if (array == nullptr || array->cDims != 1 || index < array_lower_bound(array) ||
          index > array_upper_bound(array)) {
        return "";
      }
      return "\t" + to_utf8(bstr_view(string_element(array, index)));
    };
    const OleString argument = from_utf8(options.argument);
    if (options.command == "match") {
      Variant found = list.lfnMatch(argument, options.as_long);
      if (found.get().vt == VT_I2) {
        std::cout << found.get().iVal << " (no search)\n";
      } else {
        std::cout << found.get().lVal << entry_at(found.get().lVal) << '\n';
      }
    } else if (options.command == "prefix") {
      const std::int32_t index = list.lfnMatchingPrefixLocation(argument, 0);
      std::cout << index << entry_at(index) << '\n';
    } else if (options.command == "describe") {
      std::string code;
      try {
        code = list.bfnDescriptionContainsCode(argument) ? "yes" : "no";
      } catch (const AutomationError& e) {
        code = "error " + std::to_string(e.number()) + ": " + to_utf8(e.description());
      }
      std::cout << "code: " << code << '\n';
      OleString text = argument;
      const std::int32_t index =
          list.lfnMatchingPrefixLocationServerChange(text, 0, options.with_code);
      std::cout << index << (index >= 0 ? "\t" + to_utf8(text) : std::string()) << '\n';
    } else if (array != nullptr) {
      const std::int32_t lower = array_lower_bound(array);
      const std::int32_t upper = array_upper_bound(array);
      for (std::int32_t i = lower; i <= upper; ++i) {
        std::cout << i << '\t' << to_utf8(bstr_view(string_element(array, i))) << '\n';
      }
    }
  } catch (const std::exception& e) {
    std::cerr << "corvane: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
