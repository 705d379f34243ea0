// Append-only text files, as the runtime's sequential output writes them:
// open for appending (created when missing), write, close.
#pragma once

#include <cstdint>
#include <string_view>

#include "automation/ole_types.h"
#include "platform/replaceable.h"

namespace corvane::platform {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

class Files : public Replaceable<Files> {
 public:
  virtual ~Files() = default;

  // Opens `path` for appending. On failure returns kNoFile and stores the
  // runtime error number in `error` (76 path not found, 75 access error, ...).
  // Backslashes in the path are folder separators on every system.
  virtual FileHandle open_append(OleStringView path, std::int32_t* error) = 0;
  // Writes all bytes at the end of the file; raises 57 (or 61 when the disk
  // is full) on failure.
  virtual void write(FileHandle file, std::string_view bytes) = 0;
  // Closes the file; raises 57 when the system reports a failure.
  virtual void close(FileHandle file) = 0;

  static Files& system();
};

}  // namespace corvane::platform
