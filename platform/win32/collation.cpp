#include "platform/collation.h"

#include <algorithm>

namespace corvane::platform {

int compare_strings(OleStringView first, OleStringView second) {
  return CompareStringW(LOCALE_SYSTEM_DEFAULT, SORT_STRINGSORT, first.data(),
                        static_cast<int>(first.size()), second.data(),
                        static_cast<int>(second.size()));
}

bool sort_keys_pay_off() {
  return true;
}

bool append_sort_key(OleStringView text, std::vector<unsigned char>& key) {
  constexpr DWORD kFlags = LCMAP_SORTKEY | SORT_STRINGSORT;
  // The system wants at least one character: the empty text is given as the
  // empty terminated string.
  const wchar_t* source = text.empty() ? L"" : text.data();
  const int length = text.empty() ? -1 : static_cast<int>(text.size());
  const std::size_t start = key.size();
  // One call into the system with room for most keys (about two bytes a
  // character, a few for the levels); a longer key asks for its size first.
  int room = static_cast<int>(std::min<std::size_t>(6 * text.size() + 32, 1 << 20));
  key.resize(start + static_cast<std::size_t>(room));
  // With LCMAP_SORTKEY the destination is a byte buffer of `room` bytes.
  int bytes = LCMapStringW(LOCALE_SYSTEM_DEFAULT, kFlags, source, length,
                           reinterpret_cast<wchar_t*>(key.data() + start), room);
  if (bytes == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    room = LCMapStringW(LOCALE_SYSTEM_DEFAULT, kFlags, source, length, nullptr, 0);
    if (room > 0) {
      key.resize(start + static_cast<std::size_t>(room));
      bytes = LCMapStringW(LOCALE_SYSTEM_DEFAULT, kFlags, source, length,
                           reinterpret_cast<wchar_t*>(key.data() + start), room);
    }
  }
  if (bytes <= 0) {
    key.resize(start);
    return false;
  }
  key.resize(start + static_cast<std::size_t>(bytes));
  return true;
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
