#include "platform/profiles.h"

#include <string>

#include "platform/text_encoding.h"

namespace corvane::platform {

namespace {

// The ANSI functions, as the suite's other programs use them on the same file.
class Win32Profiles final : public Profiles {
 public:
  OleString read(OleStringView file, OleStringView section, OleStringView key,
                 OleStringView fallback, std::size_t buffer_size) override {
    std::string buffer(buffer_size, '\0');
    const DWORD n = GetPrivateProfileStringA(
        to_ansi(section).c_str(), to_ansi(key).c_str(), to_ansi(fallback).c_str(), buffer.data(),
        static_cast<DWORD>(buffer_size), to_ansi(file).c_str());
    return from_ansi(std::string_view(buffer.data(), n));
  }

  bool write(OleStringView file, OleStringView section, OleStringView key,
             OleStringView value) override {
    return WritePrivateProfileStringA(to_ansi(section).c_str(), to_ansi(key).c_str(),
                                      to_ansi(value).c_str(), to_ansi(file).c_str()) != 0;
  }
};

}  // namespace

Profiles& Profiles::system() {
  static Win32Profiles profiles;
  return profiles;
}

}  // namespace corvane::platform
