#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>

#include "automation/error.h"
#include "automation/vb_text.h"
#include "platform/files.h"

namespace corvane::platform {

namespace {

std::int32_t open_error(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return vb_error::kPathNotFound;
    case EMFILE:
    case ENFILE:
      return vb_error::kTooManyFiles;
    case ENAMETOOLONG:
      return vb_error::kBadFileNameOrNumber;
    default:
      return vb_error::kPathFileAccessError;
  }
}

// The path as this system names it: UTF-8, backslashes as folder separators.
// A log is appended to under the same name line after line, so each thread
// keeps the last path it converted.
const std::string& native_path(OleStringView path) {
  thread_local OleString last_path;
  thread_local std::string last_native;
  if (path == last_path && !last_native.empty()) return last_native;
  last_native.clear();
  append_utf8(last_native, path);
  for (char& c : last_native) {
    if (c == '\\') c = '/';
  }
  last_path.assign(path);
  return last_native;
}

class PosixFiles final : public Files {
 public:
  FileHandle open_append(OleStringView path, std::int32_t* error) override {
    const std::string& native = native_path(path);
    const int fd = ::open(native.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      *error = native.empty() ? vb_error::kBadFileNameOrNumber : open_error(errno);
      return kNoFile;
    }
    return fd;
  }

  void write(FileHandle file, std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t n = ::write(static_cast<int>(file), bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        throw AutomationError(errno == ENOSPC ? vb_error::kDiskFull : vb_error::kDeviceIoError);
      }
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  void close(FileHandle file) override {
    if (::close(static_cast<int>(file)) != 0 && errno != EINTR) {
      throw AutomationError(errno == ENOSPC ? vb_error::kDiskFull : vb_error::kDeviceIoError);
    }
  }

  // Nothing is hidden here; a device, pipe or socket counts as a system
  // entry, which only a search for any entry finds.
  std::optional<unsigned> attributes(OleStringView path) override {
    struct stat info {};
    if (path.empty() || ::stat(native_path(path).c_str(), &info) != 0) return std::nullopt;
    if (S_ISDIR(info.st_mode)) return kFolder;
    return S_ISREG(info.st_mode) ? kNormalFile : kSystem;
  }

  bool create_directory(OleStringView path) override {
    return !path.empty() && ::mkdir(native_path(path).c_str(), 0777) == 0;
  }

  bool remove_file(OleStringView path) override {
    return !path.empty() && ::unlink(native_path(path).c_str()) == 0;
  }

  void clear_attributes(OleStringView) override {}  // no hidden attribute here

  std::optional<std::string> read_all(OleStringView path) override {
    const int fd = ::open(native_path(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string content;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) content.append(buffer, n);
    ::close(fd);
    return content;
  }
};

}  // namespace

Files& Files::system() {
  static PosixFiles files;
  return files;
}

bool names_same_file(OleStringView a, OleStringView b) {
  if (a.empty() || b.empty()) return false;
  const std::string first = native_path(a);  // a copy: the next call reuses the cell
  const std::string& second = native_path(b);
  struct stat one {};
  struct stat other {};
  if (::stat(first.c_str(), &one) == 0 && ::stat(second.c_str(), &other) == 0)
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
  std::error_code ignored;
  const std::string x = std::filesystem::absolute(first, ignored).lexically_normal().string();
  const std::string y = std::filesystem::absolute(second, ignored).lexically_normal().string();
  return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin(), [](char p, char q) {
           return std::tolower(static_cast<unsigned char>(p)) ==
                  std::tolower(static_cast<unsigned char>(q));
         });
}

}  // namespace corvane::platform
