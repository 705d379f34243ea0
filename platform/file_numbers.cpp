#include "platform/file_numbers.h"

#include <array>

#include "automation/error.h"
#include "platform/thread_values.h"

namespace corvane::platform {

namespace {

constexpr int kHighestFileNumber = 255;

struct FileTable {
  std::array<FileHandle, kHighestFileNumber + 1> handles;
  FileTable() { handles.fill(kNoFile); }
  ~FileTable() {
    for (FileHandle& h : handles) {
      if (h != kNoFile) {
        try {
          Files::current().close(h);
        } catch (...) {
        }
        h = kNoFile;
      }
    }
  }
};

FileTable& table() {
  return ThreadValues::get<FileTable>();
}

FileHandle& slot(int number) {
  if (number < 1 || number > kHighestFileNumber)
    throw AutomationError(vb_error::kBadFileNameOrNumber);
  return table().handles[number];
}

}  // namespace

int FreeFile() {
  auto& handles = table().handles;
  for (int n = 1; n <= kHighestFileNumber; ++n) {
    if (handles[n] == kNoFile) return n;
  }
  throw AutomationError(vb_error::kTooManyFiles);
}

std::int32_t open_for_append(int number, OleStringView path) {
  FileHandle& h = slot(number);
  if (h != kNoFile) return vb_error::kFileAlreadyOpen;
  std::int32_t error = 0;
  FileHandle opened = Files::current().open_append(path, &error);
  if (opened == kNoFile) return error != 0 ? error : vb_error::kPathFileAccessError;
  h = opened;
  return 0;
}

void print_bytes(int number, std::string_view bytes) {
  FileHandle h = slot(number);
  if (h == kNoFile) throw AutomationError(vb_error::kBadFileNameOrNumber);
  Files::current().write(h, bytes);
}

void close_file(int number) {
  FileHandle& h = slot(number);
  if (h == kNoFile) return;
  const FileHandle closing = h;
  h = kNoFile;  // the number is free again even when the close fails
  Files::current().close(closing);
}

void close_all_files() {
  for (int n = 1; n <= kHighestFileNumber; ++n) close_file(n);
}

}  // namespace corvane::platform
