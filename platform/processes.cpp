#include "platform/processes.h"

#include "platform/files.h"

namespace corvane::platform {

OleString program_file_of(OleStringView command_line) {
  const std::size_t start = command_line.find_first_not_of(u' ');
  if (start == OleStringView::npos) return OleString();
  OleStringView rest = command_line.substr(start);
  if (rest.front() == u'"') {
    const std::size_t close = rest.find(u'"', 1);
    const OleString quoted(
        rest.substr(1, close == OleStringView::npos ? OleStringView::npos : close - 1));
    return Files::current().exists(quoted, false) ? quoted : OleString();
  }
  // The longest part that ends before a blank (or at the end) and names a file.
  std::size_t end = rest.size();
  for (;;) {
    OleStringView candidate = rest.substr(0, end);
    while (!candidate.empty() && candidate.back() == u' ') candidate.remove_suffix(1);
    if (candidate.empty()) return OleString();
    if (Files::current().exists(candidate, false)) return OleString(candidate);
    end = rest.rfind(u' ', candidate.size() - 1);
    if (end == OleStringView::npos) return OleString();
  }
}

}  // namespace corvane::platform
