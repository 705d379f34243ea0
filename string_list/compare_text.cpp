#include "string_list/compare_text.h"

#include <algorithm>
#include <cstring>

#include "automation/error.h"
#include "platform/collation.h"

namespace corvane {

std::int32_t lfnCompareText(OleStringView sFirst, OleStringView sSecond) {
  return platform::compare_strings(sFirst, sSecond) - 2;
}

void throw_midpoint_overflow() {
  throw AutomationError(vb_error::kOverflow);
}

namespace {

// The system's lowercase of the Latin blocks (U+0000 to U+024F), asked of it
// once, character by character: its mapping of these characters depends on
// no neighbour. Most text the lists hold lies in there.
constexpr std::size_t kLatinEnd = 0x250;

struct LatinLowercase {
  std::array<OLECHAR, kLatinEnd> table;
  // Whether 'A' to 'Z' become 'a' to 'z' and every other ASCII character
  // stays (a user language with its own casing of I would break this).
  bool ascii_by_rule = true;

  LatinLowercase() {
    for (std::size_t c = 0; c < kLatinEnd; ++c) {
      const auto in = static_cast<OLECHAR>(c);
      platform::lowercase_copy(&in, 1, &table[c]);
      if (c < 0x80 && table[c] != (c >= u'A' && c <= u'Z' ? (in | 0x20) : in)) {
        ascii_by_rule = false;
      }
    }
  }
};

const LatinLowercase& latin_lowercase() {
  static const LatinLowercase latin;
  return latin;
}

}  // namespace

// Four ASCII characters at a time by the rule, the others from the table.
bool lowercase_latin(const OLECHAR* text, std::size_t length, OLECHAR* out) {
  constexpr std::uint64_t kNotAscii = 0xFF80FF80FF80FF80u;
  constexpr std::uint64_t kBit7 = 0x0080008000800080u;
  const LatinLowercase& latin = latin_lowercase();
  std::size_t i = 0;
  if (latin.ascii_by_rule) {
    for (; i + 4 <= length; i += 4) {
      std::uint64_t x = 0;
      std::memcpy(&x, text + i, sizeof x);
      if ((x & kNotAscii) != 0) {
        for (std::size_t k = i; k < i + 4; ++k) {
          if (text[k] >= kLatinEnd) return false;
          out[k] = latin.table[text[k]];
        }
        continue;
      }
      // Each 16-bit lane holds c < 0x80, so these sums carry into no other
      // lane; bit 7 of a lane tells c >= 'A' (0x41 + 0x3F) and c > 'Z'
      // (0x5B + 0x25), and an upper-case letter gains 0x20.
      const std::uint64_t from_a = x + 0x003F003F003F003Fu;
      const std::uint64_t past_z = x + 0x0025002500250025u;
      x |= (from_a & ~past_z & kBit7) >> 2;
      std::memcpy(out + i, &x, sizeof x);
    }
  }
  for (; i < length; ++i) {
    if (text[i] >= kLatinEnd) return false;
    out[i] = latin.table[text[i]];
  }
  return true;
}

OleStringView LowercaseText::assign(OleStringView text) {
  OLECHAR* out = nullptr;
  if (text.size() <= inline_.size()) {
    out = inline_.data();
  } else {
    heap_.assign(text.size(), u'\0');
    out = heap_.data();
  }
  // Latin text is lowercased here, faster than the system does it and with
  // the same result; any other text by the system's mapping, all of it.
  latin_ = lowercase_latin(text.data(), text.size(), out);
  if (!latin_) platform::lowercase_copy(text.data(), text.size(), out);
  view_ = OleStringView(out, text.size());
  return view_;
}

}  // namespace corvane
