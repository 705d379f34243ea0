#include "platform/numbers.h"

#include <unicode/uchar.h>
#include <unicode/uloc.h>
#include <unicode/unum.h>

#include <charconv>
#include <cstring>
#include <string>
#include <system_error>

#include "automation/error.h"

namespace corvane::platform {

namespace {

// The separators and currency symbol of the environment's locale (those of
// en_US for the C/POSIX locale).
struct NumberSymbols {
  OLECHAR decimal = u'.';
  OLECHAR thousands = u',';
  OleString currency = OLESTR("$");
};

OLECHAR single_symbol(UNumberFormat* format, UNumberFormatSymbol which, OLECHAR fallback) {
  UChar buffer[8];
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = unum_getSymbol(format, which, buffer, 8, &status);
  return (U_SUCCESS(status) && n == 1) ? static_cast<OLECHAR>(buffer[0]) : fallback;
}

NumberSymbols load_symbols() {
  NumberSymbols symbols;
  const char* name = uloc_getDefault();
  if (name == nullptr || std::strncmp(name, "en_US_POSIX", 11) == 0) name = "en_US";
  UErrorCode status = U_ZERO_ERROR;
  UNumberFormat* format = unum_open(UNUM_CURRENCY, nullptr, 0, name, nullptr, &status);
  if (U_FAILURE(status)) return symbols;
  symbols.decimal = single_symbol(format, UNUM_DECIMAL_SEPARATOR_SYMBOL, symbols.decimal);
  symbols.thousands = single_symbol(format, UNUM_GROUPING_SEPARATOR_SYMBOL, symbols.thousands);
  UChar currency[16];
  const int32_t n = unum_getSymbol(format, UNUM_CURRENCY_SYMBOL, currency, 16, &status);
  if (U_SUCCESS(status) && n > 0) symbols.currency.assign(reinterpret_cast<OLECHAR*>(currency), n);
  unum_close(format);
  return symbols;
}

const NumberSymbols& symbols() {
  static const NumberSymbols loaded = load_symbols();
  return loaded;
}

bool is_digit(OLECHAR c) {
  return c >= u'0' && c <= u'9';
}

int digit_in_radix(OLECHAR c, int radix) {
  int value = -1;
  if (is_digit(c)) value = c - u'0';
  if (c >= u'a' && c <= u'f') value = c - u'a' + 10;
  if (c >= u'A' && c <= u'F') value = c - u'A' + 10;
  return value < radix ? value : -1;
}

// A number as the runtime's parser reads it: sign, significant decimal
// digits and a power of ten, or a hexadecimal/octal value.
struct ParsedNumber {
  bool negative = false;
  std::string digits;  // without leading zeros
  long exponent = 0;   // value = digits * 10^exponent
  bool radix = false;
  bool radix_overflow = false;  // more than 32 bits of hexadecimal or octal digits
  std::uint32_t radix_value = 0;
};

class Parser {
 public:
  explicit Parser(OleStringView text) : text_(text) {}

  std::optional<ParsedNumber> parse() {
    ParsedNumber n;
    skip_blanks();
    if (peek() == u'&') return parse_radix();
    bool sign = false;
    bool currency = false;
    for (;;) {  // leading blanks, one opening parenthesis, one sign, one currency symbol
      if (!parens_ && peek() == u'(') {
        parens_ = true;
        ++pos_;
      } else if (!take_sign_or_currency(n, sign, currency) && !skip_blanks()) {
        break;
      }
    }
    if (!parse_mantissa(n)) return std::nullopt;
    if (peek() == u'e' || peek() == u'E') {
      ++pos_;
      bool exponent_negative = false;
      if (peek() == u'+' || peek() == u'-') exponent_negative = text_[pos_++] == u'-';
      long exponent = 0;
      if (!is_digit(peek())) return std::nullopt;
      while (is_digit(peek())) {
        if (exponent < 100000) exponent = exponent * 10 + (text_[pos_] - u'0');
        ++pos_;
      }
      n.exponent += exponent_negative ? -exponent : exponent;
    }
    for (;;) {  // trailing sign, currency symbol, blanks, closing parenthesis
      if (take_sign_or_currency(n, sign, currency)) {
        continue;
      } else if (parens_ && peek() == u')') {
        parens_ = false;
        closed_ = true;
        ++pos_;
      } else if (!skip_blanks()) {
        break;
      }
    }
    if (pos_ != text_.size() || (parens_ && !closed_)) return std::nullopt;
    if (closed_) n.negative = true;
    return n;
  }

 private:
  OLECHAR peek() const { return pos_ < text_.size() ? text_[pos_] : u'\0'; }

  bool skip_blanks() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && u_isUWhiteSpace(text_[pos_])) ++pos_;
    return pos_ != start;
  }

  // One sign (the first only) or one currency symbol, before or after the
  // digits; true when one was taken.
  bool take_sign_or_currency(ParsedNumber& n, bool& sign, bool& currency) {
    if (!sign && (peek() == u'+' || peek() == u'-')) {
      sign = true;
      n.negative = peek() == u'-';
      ++pos_;
      return true;
    }
    if (!currency && at_currency()) {
      currency = true;
      pos_ += symbols().currency.size();
      return true;
    }
    return false;
  }

  bool at_currency() const {
    const OleString& c = symbols().currency;
    return !c.empty() && text_.substr(pos_, c.size()) == c;
  }

  // Digits with thousands separators (not before the first digit), one
  // decimal point, more digits.
  bool parse_mantissa(ParsedNumber& n) {
    bool any_digit = false;
    bool point = false;
    for (; pos_ < text_.size(); ++pos_) {
      const OLECHAR c = text_[pos_];
      if (is_digit(c)) {
        any_digit = true;
        if (!n.digits.empty() || c != u'0') n.digits.push_back(static_cast<char>(c));
        if (point) --n.exponent;
      } else if (c == symbols().thousands && any_digit) {
        continue;
      } else if (c == symbols().decimal && !point) {
        point = true;
      } else {
        break;
      }
    }
    // Trailing zeros of the digits only scale the value.
    while (!n.digits.empty() && n.digits.back() == '0') {
      n.digits.pop_back();
      ++n.exponent;
    }
    return any_digit;
  }

  std::optional<ParsedNumber> parse_radix() {
    ++pos_;
    const OLECHAR kind = peek();
    const int radix = (kind == u'H' || kind == u'h') ? 16 : (kind == u'O' || kind == u'o') ? 8 : 0;
    if (radix == 0) return std::nullopt;
    ++pos_;
    ParsedNumber n;
    n.radix = true;
    std::uint64_t value = 0;
    const std::size_t start = pos_;
    for (int d; (d = digit_in_radix(peek(), radix)) >= 0; ++pos_) {
      value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
      if (value > 0xFFFFFFFFull) {
        n.radix_overflow = true;
        value &= 0xFFFFFFFFull;
      }
    }
    if (pos_ == start) return std::nullopt;
    skip_blanks();
    if (pos_ != text_.size()) return std::nullopt;
    n.radix_value = static_cast<std::uint32_t>(value);
    return n;
  }

  OleStringView text_;
  std::size_t pos_ = 0;
  bool parens_ = false;
  bool closed_ = false;
};

// Whether the number's value lies within the range of a double: a text
// such as "1e400" is no number to the runtime. A value too small to tell
// from zero is zero.
bool fits_double(const ParsedNumber& n) {
  if (n.radix) return !n.radix_overflow;
  if (n.digits.empty()) return true;
  const std::string text = n.digits + "e" + std::to_string(n.exponent);
  double value = 0;
  const std::from_chars_result read =
      std::from_chars(text.data(), text.data() + text.size(), value);
  return read.ec != std::errc::result_out_of_range ||
         static_cast<long>(n.digits.size()) + n.exponent <= 0;
}

}  // namespace

bool is_numeric_text(OleStringView text) {
  const std::optional<ParsedNumber> n = Parser(text).parse();
  return n.has_value() && fits_double(*n);
}

std::int32_t convert_to_long(OleStringView text, std::int32_t& result) {
  const std::optional<ParsedNumber> n = Parser(text).parse();
  if (!n) return vb_error::kTypeMismatch;
  if (n->radix) {
    if (n->radix_overflow) return vb_error::kOverflow;
    result = static_cast<std::int32_t>(n->radix_value);
    return 0;
  }
  const long count = static_cast<long>(n->digits.size());
  const long integer_digits = count + n->exponent;
  if (integer_digits > 10) return vb_error::kOverflow;
  std::int64_t value = 0;
  for (long i = 0; i < integer_digits; ++i)
    value = value * 10 + (i < count ? n->digits[i] - '0' : 0);
  // The first digit dropped and whether any follows it (the digits end in a
  // non-zero one); a value below 0.1 has no dropped digit that counts.
  int first_dropped = 0;
  bool rest_nonzero = false;
  if (integer_digits >= 0 && integer_digits < count) {
    first_dropped = n->digits[integer_digits] - '0';
    rest_nonzero = integer_digits + 1 < count;
  }
  // Halves round to the even neighbour.
  if (first_dropped > 5 || (first_dropped == 5 && (rest_nonzero || (value & 1) != 0))) ++value;
  if (n->negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return vb_error::kOverflow;
  result = static_cast<std::int32_t>(value);
  return 0;
}

}  // namespace corvane::platform
