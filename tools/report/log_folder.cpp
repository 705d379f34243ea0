#include "tools/report/log_folder.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "tools/report/summary_log.h"

namespace corvane::report {

namespace fs = std::filesystem;

namespace {

std::string lowercase(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool ends_with(const std::string& s, std::string_view end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

bool is_folder(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

}  // namespace

std::string read_file_bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

LogFiles find_log_files(const fs::path& named) {
  LogFiles found;
  // "Logs\" names the folder "Logs" too.
  const fs::path folder = named.filename().empty() ? named.parent_path() : named;
  std::vector<fs::path> candidates = {folder, folder / "Logs", folder / "Errors"};
  // The "Logs" folder named itself: its "Errors" sibling holds the tables.
  if (lowercase(folder.filename().string()) == "logs")
    candidates.push_back(folder.parent_path() / "Errors");
  for (const fs::path& candidate : candidates) {
    if (!is_folder(candidate)) continue;
    found.folders.push_back(candidate);
    std::error_code ec;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(candidate, ec)) {
      if (entry.is_regular_file(ec)) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      const std::string name = lowercase(file.filename().string());
      if (name == "session.ini") {
        if (!found.session_ini) found.session_ini = file;
      } else if (ends_with(name, ".log")) {
        const std::string bytes = read_file_bytes(file);
        // "PossibleErrors.log" ends the same way but holds plain records.
        if (ends_with(name, "errors.log") && bytes.find("<error>") != std::string::npos) {
          found.error_tables.push_back(file);
        } else if (is_summary_log(bytes)) {
          found.summary_logs.push_back(file);
        }
      }
    }
  }
  return found;
}

}  // namespace corvane::report
