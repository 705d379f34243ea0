// Private-profile files on systems without them, with the Windows rules that
// the suite's programs rely on: "[section]" lines, "key=value" lines (blanks
// around the key and the value dropped), section and key names compared
// without regard to case, the file and the section created on the first
// write, a rewritten key keeping its place.
#include "platform/profiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "automation/vb_text.h"
#include "platform/files.h"

namespace corvane::platform {

namespace {

std::string trimmed(std::string_view s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::string();
  const std::size_t last = s.find_last_not_of(" \t");
  return std::string(s.substr(first, last - first + 1));
}

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::string section_of(const std::string& line) {
  const std::string t = trimmed(line);
  if (t.size() < 2 || t.front() != '[') return std::string(1, '\0');  // not a section line
  const std::size_t close = t.find(']');
  return trimmed(
      std::string_view(t).substr(1, (close == std::string::npos ? t.size() : close) - 1));
}

bool is_section(const std::string& line) {
  return section_of(line) != std::string(1, '\0');
}

// The key of a key=value line, or nothing.
std::optional<std::string> key_of(const std::string& line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return trimmed(std::string_view(line).substr(0, eq));
}

class PosixProfiles final : public Profiles {
 public:
  OleString read(OleStringView file, OleStringView section, OleStringView key,
                 OleStringView fallback, std::size_t buffer_size) override {
    OleString value(fallback);
    if (const std::optional<std::string> text = Files::current().read_all(file)) {
      const std::string wanted_section = to_utf8(section);
      const std::string wanted_key = to_utf8(key);
      bool inside = false;
      for (const std::string& line : lines_of(*text)) {
        if (is_section(line)) {
          inside = same_name(section_of(line), wanted_section);
        } else if (inside) {
          const std::optional<std::string> k = key_of(line);
          if (k && same_name(*k, wanted_key)) {
            value = from_utf8(trimmed(std::string_view(line).substr(line.find('=') + 1)));
            break;
          }
        }
      }
    }
    if (buffer_size == 0) return OleString();
    if (value.size() > buffer_size - 1) value.resize(buffer_size - 1);
    return value;
  }

  bool write(OleStringView file, OleStringView section, OleStringView key,
             OleStringView value) override {
    std::vector<std::string> lines = lines_of(Files::current().read_all(file).value_or(""));
    const std::string wanted_section = to_utf8(section);
    const std::string wanted_key = to_utf8(key);
    const std::string entry = wanted_key + "=" + to_utf8(value);
    std::size_t section_line = lines.size();
    std::size_t insert_at = lines.size();
    bool replaced = false;
    for (std::size_t i = 0; i < lines.size() && !replaced; ++i) {
      if (is_section(lines[i])) {
        if (section_line != lines.size()) break;  // the wanted section ended
        if (same_name(section_of(lines[i]), wanted_section)) section_line = i;
        insert_at = i + 1;
      } else if (section_line != lines.size()) {
        const std::optional<std::string> k = key_of(lines[i]);
        if (k && same_name(*k, wanted_key)) {
          lines[i] = entry;
          replaced = true;
        } else if (!trimmed(lines[i]).empty()) {
          insert_at = i + 1;
        }
      }
    }
    if (!replaced) {
      if (section_line == lines.size()) {
        lines.push_back("[" + wanted_section + "]");
        lines.push_back(entry);
      } else {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert_at), entry);
      }
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    // Written whole to a new file, then moved over the old one.
    std::string path = to_utf8(file);
    std::replace(path.begin(), path.end(), '\\', '/');
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
      ::unlink(temporary.c_str());
      return false;
    }
    return true;
  }
};

}  // namespace

Profiles& Profiles::system() {
  static PosixProfiles profiles;
  return profiles;
}

}  // namespace corvane::platform
