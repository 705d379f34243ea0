// Finding a log folder's files: the errors files ("...Errors.log" holding
// <error> records), the summary logs and Session.ini.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace corvane::report {

struct LogFiles {
  std::vector<std::filesystem::path> error_tables, summary_logs;
  std::optional<std::filesystem::path> session_ini;
  std::vector<std::filesystem::path> folders;  // the folders looked in
};

// `folder` is the folder of the "Logs"/"Errors" pair, the "Logs" folder
// itself (its "Errors" sibling is looked in too) or a folder that holds the
// files; folders that do not exist are skipped. Files are sorted by path.
LogFiles find_log_files(const std::filesystem::path& folder);

// The file's bytes; empty when it cannot be read.
std::string read_file_bytes(const std::filesystem::path& file);

}  // namespace corvane::report
