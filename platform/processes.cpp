#include "platform/processes.h"

#include "platform/files.h"

namespace corvane::platform {

namespace {

bool is_separator(OLECHAR c) {
  return c == u'\\' || c == u'/';
}

// Whether `candidate` names a program file: the file itself, or on Windows,
// which adds ".exe" to a program named without an extension, that file.
OleString program_named(OleStringView candidate) {
  if (Files::current().exists(candidate, kHidden | kSystem)) return OleString(candidate);
#ifdef _WIN32
  std::size_t name = candidate.size();
  while (name > 0 && !is_separator(candidate[name - 1])) --name;
  if (candidate.substr(name).find(u'.') == OleStringView::npos) {
    OleString with_extension = OleString(candidate) + OLESTR(".exe");
    if (Files::current().exists(with_extension, kHidden | kSystem)) return with_extension;
  }
#endif
  return OleString();
}

// Whether the line names an existing folder beyond its first `length`
// characters: the blank after them then belongs to that folder's name, and
// the program meant lies inside it, not in the shorter part.
bool folder_continues_past(OleStringView line, std::size_t length) {
  for (std::size_t at = line.size(); at > length + 1; --at) {
    if (!is_separator(line[at - 1])) continue;
    // Windows drops blanks and points at the end of a name: such a part
    // would name the shorter file itself.
    const OleStringView folder = line.substr(0, at - 1);
    if (folder.back() == u' ' || folder.back() == u'.') continue;
    const std::optional<unsigned> found = Files::current().attributes(folder);
    if (found.has_value() && (*found & kFolder) != 0) return true;
  }
  return false;
}

}  // namespace

OleString program_file_of(OleStringView command_line) {
  const std::size_t start = command_line.find_first_not_of(u' ');
  if (start == OleStringView::npos) return OleString();
  OleStringView rest = command_line.substr(start);
  if (rest.front() == u'"') {
    const std::size_t close = rest.find(u'"', 1);
    const OleString quoted(
        rest.substr(1, close == OleStringView::npos ? OleStringView::npos : close - 1));
    return Files::current().exists(quoted, kHidden | kSystem) ? quoted : OleString();
  }
  // The longest part that ends before a blank (or at the end) and names a
  // file, unless a folder named by a longer part shows that the blank is part
  // of the program's path (then the program meant is missing).
  std::size_t end = rest.size();
  for (;;) {
    OleStringView candidate = rest.substr(0, end);
    while (!candidate.empty() && candidate.back() == u' ') candidate.remove_suffix(1);
    if (candidate.empty()) return OleString();
    if (OleString program = program_named(candidate); !program.empty()) {
      return folder_continues_past(rest, candidate.size()) ? OleString() : program;
    }
    end = rest.rfind(u' ', candidate.size() - 1);
    if (end == OleStringView::npos) return OleString();
  }
}

bool names_bare_program(OleStringView command_line) {
  const std::size_t start = command_line.find_first_not_of(u' ');
  if (start == OleStringView::npos) return false;
  OleStringView first = command_line.substr(start);
  if (first.front() == u'"') {
    first.remove_prefix(1);
    first = first.substr(0, first.find(u'"'));
  } else {
    first = first.substr(0, first.find(u' '));
  }
  return !first.empty() && first.find_first_of(OLESTR("\\/:")) == OleStringView::npos;
}

}  // namespace corvane::platform
