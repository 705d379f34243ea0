#include "platform/collation.h"

#include <algorithm>

namespace corvane::platform {

int compare_strings(OleStringView first, OleStringView second) {
  return CompareStringW(LOCALE_SYSTEM_DEFAULT, SORT_STRINGSORT, first.data(),
                        static_cast<int>(first.size()), second.data(),
                        static_cast<int>(second.size()));
}

void lowercase_in_place(OLECHAR* text, std::size_t length) {
  if (length != 0) CharLowerBuffW(text, static_cast<DWORD>(length));
}

void lowercase_copy(const OLECHAR* text, std::size_t length, OLECHAR* out) {
  std::copy(text, text + length, out);
  lowercase_in_place(out, length);
}

OleString lowercase(OleStringView text) {
  OleString out(text);
  lowercase_in_place(out.data(), out.size());
  return out;
}

}  // namespace corvane::platform
