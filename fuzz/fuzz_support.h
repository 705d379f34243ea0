// What the fuzz targets share: automation text from the fuzzer's bytes, and
// a check that stops the run with a message when a property does not hold.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "automation/ole_types.h"
#include "automation/vb_text.h"

namespace corvane::fuzzing {

// Text of up to `max` characters, each picked from `alphabet`: small
// alphabets make matches, prefixes and the interesting markers likely.
// Without an alphabet, any UTF-16 code units (NUL, lone surrogates).
inline OleString text_from(FuzzedDataProvider& in, std::string_view alphabet, std::size_t max) {
  const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, max);
  OleString text;
  for (std::size_t i = 0; i < n && in.remaining_bytes() > 0; ++i) {
    text += alphabet.empty()
                ? static_cast<OLECHAR>(in.ConsumeIntegral<std::uint16_t>())
                : static_cast<OLECHAR>(static_cast<unsigned char>(
                      alphabet[in.ConsumeIntegralInRange<std::size_t>(0, alphabet.size() - 1)]));
  }
  return text;
}

inline OleString any_text(FuzzedDataProvider& in, std::size_t max) {
  return text_from(in, {}, max);
}

// The text for a failure message: ASCII as it is, the rest as \uXXXX.
inline std::string printable(OleStringView text) {
  std::string out;
  for (OLECHAR c : text) {
    char piece[8];
    std::snprintf(piece, sizeof piece, c >= 0x20 && c < 0x7f ? "%c" : "\\u%04x",
                  static_cast<unsigned>(c));
    out += piece;
  }
  return out;
}

}  // namespace corvane::fuzzing

// Aborts the run (the fuzzer keeps the input) when `condition` is false.
#define FUZZ_CHECK(condition, detail)                                                            \
  do {                                                                                           \
    if (!(condition)) {                                                                          \
      std::fprintf(stderr, "check failed: %s\n  %s\n", #condition, std::string(detail).c_str()); \
      std::abort();                                                                              \
    }                                                                                            \
  } while (false)
