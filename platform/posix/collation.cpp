#include "platform/collation.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

namespace corvane::platform {

namespace {

// Punctuation and symbols in the order in which Windows' string sort puts
// them, all before the digits; and the letters that expand equal to their
// expansions (ß = ss), as Windows compares them.
// Each character is quoted in the rules ('' is the apostrophe); the C++
// escapes put the characters themselves into the text.
constexpr const char16_t* kWindowsOrder =
    u"&[before 1]0 < '' < '-' < '\u2013' < '\u2014' < ' ' < '\u00A0' < '!' < '\"' < '#' < '$' "
    u"< '%' < '&' < '(' < ')' < '*' < ',' < '.' < '/' < ':' < ';' < '?' < '@' < '[' < '\\' "
    u"< ']' < '^' < '_' < '`' < '{' < '|' < '}' < '~' < '\u00A1' < '\u00A6' < '\u00A8' "
    u"< '\u00AF' < '\u00B4' < '\u00B8' < '\u00BF' < '\u2018' < '\u2019' < '\u201C' < '\u201D' "
    u"< '\u00A2' < '\u00A3' < '\u00A4' < '\u00A5' < '\u20AC' < '+' < '<' < '=' < '>' "
    u"< '\u00B1' < '\u00AB' < '\u00BB' < '\u00D7' < '\u00F7' < '\u00A7' < '\u00A9' < '\u00AC' "
    u"< '\u00AE' < '\u00B0' < '\u00B6' < '\u00B7' < '\u2026' < '\u2022' "
    u"&ae = \u00E6 &oe = \u0153 &ss = \u00DF";

// The locale whose collation the comparison follows: the environment's,
// or the root collation for the C/POSIX locale.
std::string collation_locale() {
  const char* name = uloc_getDefault();
  if (name == nullptr || *name == '\0' || std::strncmp(name, "en_US_POSIX", 11) == 0 ||
      std::strcmp(name, "c") == 0) {
    return "";
  }
  return name;
}

UCollator* open_collator() {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* base = ucol_open(collation_locale().c_str(), &status);
  if (U_FAILURE(status)) return nullptr;
  int32_t length = 0;
  const UChar* locale_rules = ucol_getRules(base, &length);
  std::u16string rules(reinterpret_cast<const char16_t*>(locale_rules), length);
  ucol_close(base);
  rules += kWindowsOrder;
  UParseError parse_error{};
  UCollator* collator = ucol_openRules(reinterpret_cast<const UChar*>(rules.data()),
                                       static_cast<int32_t>(rules.size()), UCOL_DEFAULT,
                                       UCOL_TERTIARY, &parse_error, &status);
  if (U_FAILURE(status)) return nullptr;
  ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
  return collator;
}

// One collator for the process (comparing is safe from any thread), closed
// when the process ends.
UCollator* collator() {
  static const std::unique_ptr<UCollator, void (*)(UCollator*)> shared(open_collator(),
                                                                       &ucol_close);
  return shared.get();
}

}  // namespace

int compare_strings(OleStringView first, OleStringView second) {
  UCollator* c = collator();
  if (c == nullptr) return 0;
  switch (ucol_strcoll(
      c, reinterpret_cast<const UChar*>(first.data()), static_cast<int32_t>(first.size()),
      reinterpret_cast<const UChar*>(second.data()), static_cast<int32_t>(second.size()))) {
    case UCOL_LESS:
      return 1;
    case UCOL_EQUAL:
      return 2;
    default:
      return 3;
  }
}

bool sort_keys_pay_off() {
  return false;
}

bool append_sort_key(OleStringView text, std::vector<unsigned char>& key) {
  UCollator* c = collator();
  if (c == nullptr) return false;
  const auto* source = reinterpret_cast<const UChar*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  const std::size_t start = key.size();
  // Most keys fit in a few bytes a character; a longer one is asked again.
  key.resize(start + 4 * text.size() + 16);
  int32_t bytes = ucol_getSortKey(c, source, length, key.data() + start,
                                  static_cast<int32_t>(key.size() - start));
  if (bytes > static_cast<int32_t>(key.size() - start)) {
    key.resize(start + static_cast<std::size_t>(bytes));
    bytes = ucol_getSortKey(c, source, length, key.data() + start, bytes);
  }
  if (bytes <= 0) {
    key.resize(start);
    return false;
  }
  key.resize(start + static_cast<std::size_t>(bytes));
  return true;
}

namespace {

// The lowercase of the first 0x250 code points (Latin, its supplements and
// extensions), looked up instead of asked of ICU: most text is in there.
constexpr std::size_t kTableSize = 0x250;

std::array<OLECHAR, kTableSize> make_latin_lowercase() {
  std::array<OLECHAR, kTableSize> t{};
  for (std::size_t c = 0; c < kTableSize; ++c) {
    const UChar32 lower = u_tolower(static_cast<UChar32>(c));
    t[c] = lower <= 0xFFFF ? static_cast<OLECHAR>(lower) : static_cast<OLECHAR>(c);
  }
  return t;
}

// Filled when the library loads, so that the hot loop needs no guard.
const std::array<OLECHAR, kTableSize> g_latin_lowercase = make_latin_lowercase();

}  // namespace

void lowercase_copy(const OLECHAR* text, std::size_t length, OLECHAR* out) {
  const auto& table = g_latin_lowercase;
  for (std::size_t i = 0; i < length; ++i) {
    const OLECHAR c = text[i];
    if (c < kTableSize) {
      out[i] = table[c];
    } else if (U16_IS_LEAD(c) && i + 1 < length && U16_IS_TRAIL(text[i + 1])) {
      const UChar32 lower = u_tolower(U16_GET_SUPPLEMENTARY(c, text[i + 1]));
      out[i] = U16_LEAD(lower);
      out[i + 1] = U16_TRAIL(lower);
      ++i;
    } else if (U16_IS_SURROGATE(c)) {
      out[i] = c;
    } else {
      const UChar32 lower = u_tolower(c);
      out[i] = lower <= 0xFFFF ? static_cast<OLECHAR>(lower) : c;
    }
  }
}

void lowercase_in_place(OLECHAR* text, std::size_t length) {
  lowercase_copy(text, length, text);
}

OleString lowercase(OleStringView text) {
  OleString out(text);
  lowercase_in_place(out.data(), out.size());
  return out;
}

}  // namespace corvane::platform
