// Private-profile (INI) files: sections of key=value lines, names matched
// without regard to case, the file created on the first write.
#pragma once

#include <cstddef>

#include "automation/ole_types.h"
#include "platform/replaceable.h"

namespace corvane::platform {

class Profiles : public Replaceable<Profiles> {
 public:
  virtual ~Profiles() = default;

  // GetPrivateProfileString into a buffer of `buffer_size` characters: the
  // value, cut to buffer_size - 1 characters; `fallback` when there is none.
  virtual OleString read(OleStringView file, OleStringView section, OleStringView key,
                         OleStringView fallback, std::size_t buffer_size) = 0;
  // WritePrivateProfileString: adds or replaces the key; false on failure.
  virtual bool write(OleStringView file, OleStringView section, OleStringView key,
                     OleStringView value) = 0;

  static Profiles& system();
};

}  // namespace corvane::platform
