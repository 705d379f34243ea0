// Owner of one automation string. A null BSTR is the empty string, as the
// runtime treats it.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>

#include "automation/ole_types.h"

namespace corvane {

// The text of a BSTR (its length prefix counts, so embedded NULs survive).
inline OleStringView bstr_view(BSTR b) {
#ifdef _WIN32
  return b == nullptr ? OleStringView() : OleStringView(b, SysStringLen(b));
#else
  // Our own layout: the byte count just before the text (read here, inline,
  // because the searches read it for every entry they touch).
  if (b == nullptr) return OleStringView();
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<const char*>(b) - sizeof bytes, sizeof bytes);
  return OleStringView(b, bytes / sizeof(OLECHAR));
#endif
}

class Bstr {
 public:
  Bstr() = default;
  // A new string with a copy of the text; raises error 7 when memory runs out.
  explicit Bstr(OleStringView text);
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : p_(other.release()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~Bstr() { SysFreeString(p_); }

  // Takes ownership of a string allocated elsewhere.
  static Bstr attach(BSTR b) {
    Bstr owner;
    owner.p_ = b;
    return owner;
  }

  BSTR get() const { return p_; }
  OleStringView view() const { return bstr_view(p_); }
  BSTR release() { return std::exchange(p_, nullptr); }
  void reset(BSTR b = nullptr) { SysFreeString(std::exchange(p_, b)); }
  // Frees the current string and hands out the cell for a callee to fill.
  BSTR* put() {
    reset();
    return &p_;
  }
  // The cell as it is, for a callee that takes the string by reference and
  // may replace it (freeing what it held).
  BSTR* cell() { return &p_; }

 private:
  BSTR p_ = nullptr;
};

}  // namespace corvane
