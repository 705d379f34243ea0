// Append-only text files, as the runtime's sequential output writes them:
// open for appending (created when missing), write, close.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/ole_types.h"
#include "platform/replaceable.h"

namespace corvane::platform {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// The attributes a lookup accepts besides those of a normal file, with the
// values the runtime's Dir and the system's file attributes give them.
enum Accepted : unsigned {
  kNormalFile = 0,
  kHidden = 2,
  kSystem = 4,
  kFolder = 16,
  kAnyEntry = kHidden | kSystem | kFolder,
};

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

  // Whether a lookup of `path` finds it: an entry is found when each of its
  // hidden, system and folder attributes is one the lookup accepts, as the
  // runtime's Dir filters a directory listing (`kNormalFile` finds a file
  // that is neither hidden nor system, `kAnyEntry` is a file search that
  // finds whatever has the name).
  bool exists(OleStringView path, unsigned accepted);
  // The hidden, system and folder attributes of the entry named `path`;
  // nothing when no entry has that name.
  virtual std::optional<unsigned> attributes(OleStringView path) = 0;
  // Creates one folder (MkDir); false when it cannot (it exists already,
  // or its parent is missing).
  virtual bool create_directory(OleStringView path) = 0;
  // Deletes a file (Kill); false when it cannot (missing, in use, read-only).
  virtual bool remove_file(OleStringView path) = 0;
  // Sets the file's attributes to normal (clears hidden, read-only).
  virtual void clear_attributes(OleStringView path) = 0;
  // The whole content of a file; nothing when it cannot be opened for reading.
  virtual std::optional<std::string> read_all(OleStringView path) = 0;

  static Files& system();
};

inline bool Files::exists(OleStringView path, unsigned accepted) {
  const std::optional<unsigned> found = attributes(path);
  return found.has_value() && (*found & ~accepted) == 0;
}

// Whether two paths name the same file: the same file on disk when both
// exist (hard links and short names included), otherwise the same full path
// once "." and ".." and doubled separators are resolved, letter case ignored.
bool names_same_file(OleStringView a, OleStringView b);

}  // namespace corvane::platform
