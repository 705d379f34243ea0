// The runtime's file table: numbers 1 to 255 that name open files, FreeFile
// giving the lowest unused one. One table per thread, as the runtime keeps it.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "automation/ole_types.h"
#include "platform/files.h"

namespace corvane::platform {

// The lowest file number not in use; error 67 "Too many files" when all are.
int FreeFile();

// Opens `path` for appending under `number`. Returns 0 on success, or the
// runtime error number of the failure (the number stays free then).
std::int32_t open_for_append(int number, OleStringView path);

// Prints bytes to the open file `number` (error 52 when it is not open).
void print_bytes(int number, std::string_view bytes);

// Closes `number` and frees it; a number that is not open is ignored.
void close_file(int number);

// Closes an open file number on every way out of a write; close() closes it
// at once and lets a failure of the close reach the caller.
class OpenFileNumber {
 public:
  explicit OpenFileNumber(int number) : number_(number) {}
  OpenFileNumber(const OpenFileNumber&) = delete;
  OpenFileNumber& operator=(const OpenFileNumber&) = delete;
  ~OpenFileNumber() {
    if (number_ == 0) return;
    try {
      close_file(number_);
    } catch (...) {
    }
  }
  void close() { close_file(std::exchange(number_, 0)); }

 private:
  int number_;
};

// Closes every file of this thread's table (the runtime's Close without numbers).
void close_all_files();

}  // namespace corvane::platform
