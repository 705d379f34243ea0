#include "platform/file_lock.h"

#include <cstdio>

namespace corvane::platform {

OleString file_lock_name(OleStringView file) {
  // FNV-1a over the path folded to upper case (ASCII letters; the folder
  // names the suite uses) with every slash a backslash, as 64 bits of hex.
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (OLECHAR c : file) {
    if (c == u'/') c = u'\\';
    if (c >= u'a' && c <= u'z') c = static_cast<OLECHAR>(c - u'a' + u'A');
    hash = (hash ^ static_cast<std::uint64_t>(c)) * 0x100000001b3ull;
  }
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  OleString name = OLESTR("Local\\Corvane.FileLock.");
  for (const char* d = digits; *d != '\0'; ++d) name += static_cast<OLECHAR>(*d);
  return name;
}

}  // namespace corvane::platform
