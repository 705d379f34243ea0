// The session statistics: section SessionStats of the log folder's
// Session.ini.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace corvane::report {

struct SessionStat {
  std::string name, value;
  bool counter = false;  // one of the fields the component counts in
};

// The library's fields in their order, named as the library writes them,
// read from `ini` as the library reads them (the system's profile functions):
// empty values for fields the file lacks.
std::vector<SessionStat> read_session_stats(const std::filesystem::path& ini);

}  // namespace corvane::report
