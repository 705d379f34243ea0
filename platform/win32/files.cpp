#include "platform/files.h"

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/error.h"
#include "platform/file_lock.h"

namespace corvane::platform {

namespace {

static_assert(kHidden == FILE_ATTRIBUTE_HIDDEN && kSystem == FILE_ATTRIBUTE_SYSTEM &&
              kFolder == FILE_ATTRIBUTE_DIRECTORY);

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

// A mutex kept open while anyone uses it; closed with its last user.
using AppendLock = std::shared_ptr<void>;

// An open append-only file and the mutex its writers take turns with.
struct AppendFile {
  HANDLE file;
  AppendLock lock;  // empty when none could be had
};

constexpr DWORD kAppendLockWaitMs = 10000;

// The mutex for the file that `file` names, by its final path, so that every
// spelling of the path (relative, short names, case) takes the same one.
AppendLock open_append_lock(HANDLE file, const OleString& path) {
  std::wstring final_path(MAX_PATH, L'\0');
  DWORD n =
      GetFinalPathNameByHandleW(file, final_path.data(), static_cast<DWORD>(final_path.size()), 0);
  if (n >= final_path.size()) {
    final_path.resize(n);
    n = GetFinalPathNameByHandleW(file, final_path.data(), static_cast<DWORD>(final_path.size()),
                                  0);
  }
  final_path.resize(n > 0 && n < final_path.size() ? n : 0);
  const OleString name = file_lock_name(final_path.empty() ? path : OleString(final_path));
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) return AppendLock();
  try {
    return AppendLock(mutex, CloseHandle);
  } catch (...) {
    return AppendLock();  // the failed owner has closed the mutex already
  }
}

// A path that names the same file whatever the current folder is.
bool is_absolute(OleStringView path) {
  const bool drive = path.size() >= 3 && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/');
  const bool share = path.size() >= 2 && (path[0] == u'\\' || path[0] == u'/') &&
                     (path[1] == u'\\' || path[1] == u'/');
  return drive || share;
}

// The mutex of the last absolute path appended to, kept open: a log is
// appended to line after line under one name, and finding its final path and
// opening its mutex would cost the system two more requests per line. A
// relative path is looked up each time, as it names another file once the
// current folder changes.
class LastAppendLock {
 public:
  AppendLock find(OleStringView path) {
    AcquireSRWLockShared(&guard_);
    AppendLock found = path == path_ ? lock_ : AppendLock();
    ReleaseSRWLockShared(&guard_);
    return found;
  }

  void keep(OleStringView path, const AppendLock& lock) {
    if (!lock || !is_absolute(path)) return;
    AcquireSRWLockExclusive(&guard_);
    try {
      path_.assign(path);
      lock_ = lock;
    } catch (...) {
      path_.clear();
      lock_.reset();
    }
    ReleaseSRWLockExclusive(&guard_);
  }

 private:
  SRWLOCK guard_ = SRWLOCK_INIT;
  OleString path_;
  AppendLock lock_;
};

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
    AppendLock lock = last_lock_.find(terminated);
    if (!lock) {
      lock = open_append_lock(h, terminated);
      last_lock_.keep(terminated, lock);
    }
    AppendFile* append = new (std::nothrow) AppendFile{h, std::move(lock)};
    if (append == nullptr) {
      CloseHandle(h);
      *error = vb_error::kOutOfMemory;
      return kNoFile;
    }
    return reinterpret_cast<FileHandle>(append);
  }

  void write(FileHandle file, std::string_view bytes) override {
    AppendFile& append = *reinterpret_cast<AppendFile*>(file);
    // Windows appends each write whole at the end of the file, but not every
    // system that runs Windows programs does (wine seeks to the end, then
    // writes): the writers of a file take turns, so that no line is torn or
    // written over. A writer that does not let go within the limit is not
    // waited for.
    HANDLE mutex = append.lock.get();
    const bool locked =
        mutex != nullptr && WaitForSingleObject(mutex, kAppendLockWaitMs) != WAIT_TIMEOUT;
    DWORD failure = ERROR_SUCCESS;
    while (!bytes.empty()) {
      DWORD written = 0;
      const DWORD chunk =
          bytes.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(bytes.size());
      if (!WriteFile(append.file, bytes.data(), chunk, &written, nullptr) || written == 0) {
        failure = GetLastError();
        break;
      }
      bytes.remove_prefix(written);
    }
    if (locked) ReleaseMutex(mutex);
    if (failure != ERROR_SUCCESS) throw AutomationError(io_error(failure));
  }

  void close(FileHandle file) override {
    AppendFile* append = reinterpret_cast<AppendFile*>(file);
    const BOOL closed = CloseHandle(append->file);
    const DWORD error = GetLastError();
    delete append;
    if (!closed) throw AutomationError(io_error(error));
  }

  std::optional<unsigned> attributes(OleStringView path) override {
    if (path.empty()) return std::nullopt;
    const OleString terminated(path);
    const DWORD found = GetFileAttributesW(terminated.c_str());
    if (found == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return found & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);
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

 private:
  LastAppendLock last_lock_;
};

}  // namespace

Files& Files::system() {
  static Win32Files files;
  return files;
}

namespace {

// The volume and index of an existing file, or nothing.
std::optional<std::pair<DWORD, ULONGLONG>> file_identity(const OleString& path) {
  const HANDLE file =
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL read = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!read) return std::nullopt;
  return std::make_pair(info.dwVolumeSerialNumber,
                        (ULONGLONG{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
}

OleString full_path(const OleString& path) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return path;
    if (n < buffer.size()) return OleString(buffer.data(), n);
    buffer.resize(n);
  }
}

}  // namespace

bool names_same_file(OleStringView a, OleStringView b) {
  if (a.empty() || b.empty()) return false;
  const OleString first(a);
  const OleString second(b);
  const auto one = file_identity(first);
  const auto other = file_identity(second);
  if (one && other) return *one == *other;
  const OleString x = full_path(first);
  const OleString y = full_path(second);
  return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(),
                              static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace corvane::platform
