#include "platform/files.h"
#include "automation/error.h"

namespace corvane::platform {

namespace {

std::int32_t open_error(DWORD err) {
  switch (err) {
    case ERROR_PATH_NOT_FOUND:
      return vb_error::kPathNotFound;
    case ERROR_FILE_NOT_FOUND:
      return vb_error::kFileNotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return vb_error::kPermissionDenied;
    case ERROR_TOO_MANY_OPEN_FILES:
      return vb_error::kTooManyFiles;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      return vb_error::kBadFileNameOrNumber;
    default:
      return vb_error::kPathFileAccessError;
  }
}

std::int32_t io_error(DWORD err) {
  return (err == ERROR_DISK_FULL || err == ERROR_HANDLE_DISK_FULL) ? vb_error::kDiskFull
                                                                   : vb_error::kDeviceIoError;
}

class Win32Files final : public Files {
 public:
  FileHandle open_append(OleStringView path, std::int32_t* error) override {
    const OleString terminated(path);
    HANDLE h = CreateFileW(terminated.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      *error = terminated.empty() ? vb_error::kBadFileNameOrNumber : open_error(GetLastError());
      return kNoFile;
    }
    return reinterpret_cast<FileHandle>(h);
  }

  void write(FileHandle file, std::string_view bytes) override {
    while (!bytes.empty()) {
      DWORD written = 0;
      const DWORD chunk =
          bytes.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(bytes.size());
      if (!WriteFile(reinterpret_cast<HANDLE>(file), bytes.data(), chunk, &written, nullptr) ||
          written == 0) {
        throw AutomationError(io_error(GetLastError()));
      }
      bytes.remove_prefix(written);
    }
  }

  void close(FileHandle file) override {
    if (!CloseHandle(reinterpret_cast<HANDLE>(file))) {
      throw AutomationError(io_error(GetLastError()));
    }
  }

  bool exists(OleStringView path, bool directories) override {
    if (path.empty()) return false;
    const OleString terminated(path);
    const DWORD attributes = GetFileAttributesW(terminated.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return directories || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool create_directory(OleStringView path) override {
    const OleString terminated(path);
    return !terminated.empty() && CreateDirectoryW(terminated.c_str(), nullptr) != 0;
  }

  bool remove_file(OleStringView path) override {
    const OleString terminated(path);
    return !terminated.empty() && DeleteFileW(terminated.c_str()) != 0;
  }

  void clear_attributes(OleStringView path) override {
    const OleString terminated(path);
    SetFileAttributesW(terminated.c_str(), FILE_ATTRIBUTE_NORMAL);
  }

  std::optional<std::string> read_all(OleStringView path) override {
    const OleString terminated(path);
    HANDLE h = CreateFileW(terminated.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string content;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) content.append(buffer, n);
    CloseHandle(h);
    return content;
  }
};

}  // namespace

Files& Files::system() {
  static Win32Files files;
  return files;
}

}  // namespace corvane::platform
