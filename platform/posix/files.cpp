#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

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

class PosixFiles final : public Files {
 public:
  FileHandle open_append(OleStringView path, std::int32_t* error) override {
    std::string native = to_utf8(path);
    for (char& c : native) {
      if (c == '\\') c = '/';
    }
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
};

}  // namespace

Files& Files::system() {
  static PosixFiles files;
  return files;
}

}  // namespace corvane::platform
