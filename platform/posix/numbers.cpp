#include "platform/numbers.h"

namespace corvane::platform {

namespace {

bool is_digit(OLECHAR c) {
  return c >= u'0' && c <= u'9';
}

}  // namespace

// Blanks, a sign, digits with thousands separators and one decimal point, an
// optional exponent, blanks; or &H / &O followed by hexadecimal / octal digits.
bool is_numeric_text(OleStringView text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto skip_blanks = [&] {
    while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
  };
  skip_blanks();
  if (i + 1 < n && text[i] == u'&') {
    const OLECHAR radix = text[i + 1];
    const bool hex = radix == u'H' || radix == u'h';
    const bool oct = radix == u'O' || radix == u'o';
    if (!hex && !oct) return false;
    i += 2;
    const std::size_t start = i;
    while (i < n &&
           (is_digit(text[i]) ? (!oct || text[i] <= u'7')
                              : hex && ((text[i] | 0x20) >= u'a' && (text[i] | 0x20) <= u'f'))) {
      ++i;
    }
    if (i == start) return false;
    skip_blanks();
    return i == n;
  }
  if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
  bool digits = false;
  bool point = false;
  for (; i < n; ++i) {
    if (is_digit(text[i])) {
      digits = true;
    } else if (text[i] == u',' && !point && digits) {
      continue;
    } else if (text[i] == u'.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return false;
  if (i < n && (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
    ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
    const std::size_t start = i;
    while (i < n && is_digit(text[i])) ++i;
    if (i == start) return false;
  }
  skip_blanks();
  return i == n;
}

}  // namespace corvane::platform
