// The date test with the rules of an English (United States) locale: month
// before day, "/" "-" "." or blanks between the parts of a date, ":" between
// those of a time, two-digit years in 1930 to 2029.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/dates.h"

namespace corvane::platform {

namespace {

struct Token {
  enum Kind { kNumber, kMonthName, kMeridian, kTimeSeparator, kDateSeparator } kind;
  int value = 0;   // the number, the month (1-12), or 0 AM / 12 PM
  int digits = 0;  // for numbers
};

constexpr std::array<const char*, 12> kMonths = {"january",   "february", "march",    "april",
                                                 "may",       "june",     "july",     "august",
                                                 "september", "october",  "november", "december"};

char lower(OLECHAR c) {
  return static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c);
}

// A month's full name or its first three letters and more of it.
std::optional<int> month_named(const std::string& word) {
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    const std::string full = kMonths[i];
    if (word.size() >= 3 && word.size() <= full.size() && full.compare(0, word.size(), word) == 0)
      return static_cast<int>(i) + 1;
  }
  return std::nullopt;
}

std::optional<std::vector<Token>> tokens_of(OleStringView text) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    const OLECHAR c = text[i];
    if (c == u' ' || c == u'\t' || c == u',') {
      ++i;
    } else if (c >= u'0' && c <= u'9') {
      Token t{Token::kNumber};
      while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        if (t.digits < 9) t.value = t.value * 10 + (text[i] - u'0');
        ++t.digits;
        ++i;
      }
      tokens.push_back(t);
    } else if (c == u':') {
      tokens.push_back({Token::kTimeSeparator});
      ++i;
    } else if (c == u'/' || c == u'-' || c == u'.') {
      tokens.push_back({Token::kDateSeparator});
      ++i;
    } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
      std::string word;
      while (i < text.size() &&
             ((text[i] >= u'a' && text[i] <= u'z') || (text[i] >= u'A' && text[i] <= u'Z'))) {
        word += lower(text[i++]);
      }
      if (word == "am" || word == "a") {
        tokens.push_back({Token::kMeridian, 0});
      } else if (word == "pm" || word == "p") {
        tokens.push_back({Token::kMeridian, 12});
      } else if (const std::optional<int> month = month_named(word)) {
        tokens.push_back({Token::kMonthName, *month});
      } else {
        return std::nullopt;
      }
    } else {
      return std::nullopt;
    }
  }
  return tokens;
}

bool leap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool valid_day(int year, int month, int day) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  return day <= kDays[month - 1] + (month == 2 && leap(year) ? 1 : 0);
}

int full_year(const Token& t) {
  if (t.digits <= 2) return t.value < 30 ? 2000 + t.value : 1900 + t.value;
  return t.value;
}

bool valid_year(int year) {
  return year >= 100 && year <= 9999;
}

// A time: h ":" m [":" s] [AM|PM], from `at`; moves `at` past it.
bool time_at(const std::vector<Token>& t, std::size_t& at) {
  std::vector<int> parts;
  std::size_t i = at;
  if (i >= t.size() || t[i].kind != Token::kNumber) return false;
  parts.push_back(t[i++].value);
  while (i + 1 < t.size() && t[i].kind == Token::kTimeSeparator &&
         t[i + 1].kind == Token::kNumber && parts.size() < 3) {
    parts.push_back(t[i + 1].value);
    i += 2;
  }
  const bool meridian = i < t.size() && t[i].kind == Token::kMeridian;
  if (parts.size() < 2 && !meridian) return false;
  if (meridian) {
    if (parts[0] < 1 || parts[0] > 12) return false;
    ++i;
  } else if (parts[0] > 23) {
    return false;
  }
  for (std::size_t p = 1; p < parts.size(); ++p) {
    if (parts[p] > 59) return false;
  }
  at = i;
  return true;
}

// A date of two or three parts, from `at`; moves `at` past it.
bool date_at(const std::vector<Token>& t, std::size_t& at) {
  std::vector<Token> parts;
  std::size_t i = at;
  while (i < t.size() && parts.size() < 3 &&
         (t[i].kind == Token::kNumber || t[i].kind == Token::kMonthName)) {
    // A number followed by ":" or AM/PM starts the time.
    if (t[i].kind == Token::kNumber && i + 1 < t.size() &&
        (t[i + 1].kind == Token::kTimeSeparator || t[i + 1].kind == Token::kMeridian))
      break;
    parts.push_back(t[i++]);
    if (i < t.size() && t[i].kind == Token::kDateSeparator) ++i;
  }
  if (i > at && t[i - 1].kind == Token::kDateSeparator) return false;
  if (parts.size() < 2) return false;
  int names = 0;
  for (const Token& p : parts) names += p.kind == Token::kMonthName ? 1 : 0;
  if (names > 1) return false;

  int year = 2000, month = 0, day = 0;
  if (names == 1) {
    std::vector<Token> numbers;
    for (const Token& p : parts) {
      if (p.kind == Token::kMonthName)
        month = p.value;
      else
        numbers.push_back(p);
    }
    day = numbers[0].value;
    if (numbers.size() == 2) {
      year = full_year(numbers[1]);
    } else if (numbers[0].digits > 2 || numbers[0].value > 31) {
      year = full_year(numbers[0]);  // "Dec 2026": the first of the month
      day = 1;
    }
  } else if (parts.size() == 3) {
    if (parts[0].digits > 2 || parts[0].value > 31) {  // year first
      year = full_year(parts[0]);
      month = parts[1].value;
      day = parts[2].value;
    } else {
      month = parts[0].value;
      day = parts[1].value;
      year = full_year(parts[2]);
      if (month > 12 && day <= 12) std::swap(month, day);
    }
  } else {
    month = parts[0].value;
    day = parts[1].value;
    if (parts[1].digits > 2 || day > 31) {
      year = full_year(parts[1]);
      day = 1;
    } else if (month > 12 && day <= 12) {
      std::swap(month, day);
    }
  }
  if (!valid_year(year) || !valid_day(year, month, day)) return false;
  at = i;
  return true;
}

}  // namespace

bool is_date_text(OleStringView text) {
  const std::optional<std::vector<Token>> tokens = tokens_of(text);
  if (!tokens || tokens->empty()) return false;
  std::size_t at = 0;
  const bool date = date_at(*tokens, at);
  const bool time = time_at(*tokens, at);
  return (date || time) && at == tokens->size();
}

}  // namespace corvane::platform
