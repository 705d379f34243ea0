// The session statistics: section SessionStats of the log folder's
// Session.ini.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane::report {

struct SessionStat {
  std::string name, value;
  bool counter = false;  // one of the fields the component counts in
};

// The library's fields in their order (names as the library writes them,
// empty values for fields the file lacks), then any other keys of the section
// in file order. Keys and the section name are matched without regard to
// case; the first of two equal keys counts, as the profile functions read it.
std::vector<SessionStat> read_session_stats(std::string_view ini_bytes);

}  // namespace corvane::report
