#include "tools/report/log_text.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace corvane::report {

namespace {

// Windows-1252's characters for 0x80-0x9F (0 where the code page has none,
// shown as U+FFFD); 0xA0-0xFF are Latin-1's.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void append_code_point(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The length of the valid UTF-8 sequence at `at` (overlong forms, surrogates
// and values past U+10FFFF are not valid), 0 when there is none.
std::size_t utf8_length(std::string_view s, std::size_t at) {
  const auto c = static_cast<unsigned char>(s[at]);
  std::size_t n = 0;
  std::uint32_t cp = 0, min = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, cp = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, cp = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (at + n > s.size()) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    const auto d = static_cast<unsigned char>(s[at + i]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

// The number the `digits` digits at `at` make (fits_picture checked them).
int digits_at(std::string_view s, std::size_t at, std::size_t digits) {
  int value = 0;
  for (std::size_t i = at; i < at + digits; ++i) value = value * 10 + (s[i] - '0');
  return value;
}

// Days from 1 January 1970 to the date (proleptic Gregorian calendar).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::optional<LogTime> make_time(int year, int month, int day, int hour, int minute, int second) {
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 59)
    return std::nullopt;
  const std::int64_t days =
      days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  return LogTime{((days * 24 + hour) * 60 + minute) * 60 + second};
}

// Whether the text starts with the picture's form: a digit where the picture
// has '9', the picture's character elsewhere.
bool fits_picture(std::string_view s, std::string_view picture) {
  if (s.size() < picture.size()) return false;
  for (std::size_t i = 0; i < picture.size(); ++i) {
    const bool digit = s[i] >= '0' && s[i] <= '9';
    if (picture[i] == '9' ? !digit : s[i] != picture[i]) return false;
  }
  return true;
}

}  // namespace

std::string decode_log_bytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t n = utf8_length(bytes, i); n != 0) {
      out.append(bytes.substr(i, n));
      i += n;
    } else {
      const char16_t cp = c >= 0xA0 ? c : kCp1252High[c - 0x80];
      append_code_point(out, cp != 0 ? cp : 0xFFFD);
      ++i;
    }
  }
  return out;
}

std::string decode_entities(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"amp", '&'}, {"quot", '"'}, {"apos", '\''}, {"lt", '<'}, {"gt", '>'}};
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t semi = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
    if (semi == std::string_view::npos || semi - i > 10) {
      out += text[i];
      continue;
    }
    const std::string_view name = text.substr(i + 1, semi - i - 1);
    bool known = false;
    for (const auto& [entity, c] : kNamed) {
      if (name == entity) out += c, known = true;
    }
    if (!known && name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      const std::string digits(name.substr(hex ? 2 : 1));
      char* end = nullptr;
      const unsigned long cp = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
      if (!digits.empty() && *end == '\0' && cp > 0 && cp <= 0x10FFFF &&
          (cp < 0xD800 || cp > 0xDFFF)) {
        append_code_point(out, static_cast<std::uint32_t>(cp));
        known = true;
      }
    }
    if (known) {
      i = semi;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string LogTime::text() const {
  const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const std::int64_t rest = seconds - days * 86400;
  // civil_from_days
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02d:%02d:%02d", static_cast<long long>(y),
                m, d, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                static_cast<int>(rest % 60));
  return buffer;
}

std::optional<LogTime> parse_error_time(std::string_view s) {
  if (s.size() != 19 || !fits_picture(s, "99/99/9999 99:99:99")) return std::nullopt;
  return make_time(digits_at(s, 6, 4), digits_at(s, 0, 2), digits_at(s, 3, 2), digits_at(s, 11, 2),
                   digits_at(s, 14, 2), digits_at(s, 17, 2));
}

std::optional<LogTime> parse_stamp(std::string_view s) {
  if (!fits_picture(s, "99-99-99 99:99:99.999")) return std::nullopt;
  const int yy = digits_at(s, 6, 2);
  return make_time(yy < 30 ? 2000 + yy : 1900 + yy, digits_at(s, 0, 2), digits_at(s, 3, 2),
                   digits_at(s, 9, 2), digits_at(s, 12, 2), digits_at(s, 15, 2));
}

}  // namespace corvane::report
