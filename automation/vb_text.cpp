#include "automation/vb_text.h"

#include <string>

namespace corvane {

namespace {

OLECHAR fold(OLECHAR c) {
  if (c >= u'A' && c <= u'Z') return static_cast<OLECHAR>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<OLECHAR>(c + 32);
  return c;
}

}  // namespace

std::size_t instr(OleStringView text, OleStringView target, std::size_t start, CompareMode mode) {
  if (start == 0) start = 1;
  if (start > text.size() + 1) return 0;
  if (target.empty()) return start;
  if (mode == CompareMode::kBinary) {
    const std::size_t p = text.find(target, start - 1);
    return p == OleStringView::npos ? 0 : p + 1;
  }
  for (std::size_t p = start - 1; p + target.size() <= text.size(); ++p) {
    std::size_t i = 0;
    while (i < target.size() && fold(text[p + i]) == fold(target[i])) ++i;
    if (i == target.size()) return p + 1;
  }
  return 0;
}

OleStringView trim_blanks(OleStringView text) {
  const std::size_t first = text.find_first_not_of(u' ');
  if (first == OleStringView::npos) return {};
  const std::size_t last = text.find_last_not_of(u' ');
  return text.substr(first, last - first + 1);
}

OleString to_text(std::int64_t value) {
  const std::string digits = std::to_string(value);
  return OleString(digits.begin(), digits.end());
}

OleString from_utf8(std::string_view utf8) {
  OleString out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6 && i + 1 < utf8.size()) {
      cp = ((c & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
      len = 2;
    } else if ((c >> 4) == 0xE && i + 2 < utf8.size()) {
      cp = ((c & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
      len = 3;
    } else if ((c >> 3) == 0x1E && i + 3 < utf8.size()) {
      cp = ((c & 0x07u) << 18) | ((utf8[i + 1] & 0x3Fu) << 12) | ((utf8[i + 2] & 0x3Fu) << 6) |
           (utf8[i + 3] & 0x3Fu);
      len = 4;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<OLECHAR>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<OLECHAR>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<OLECHAR>(cp));
    }
    i += len;
  }
  return out;
}

void append_utf8(std::string& out, OleStringView text) {
  // Log lines and paths are nearly always ASCII: the leading ASCII run is
  // narrowed straight into place eight characters at a time (fixed-size
  // blocks the compiler turns into vector instructions), and the rest is
  // encoded character by character from the first character that is not.
  constexpr std::size_t kBlock = 8;
  const std::size_t at = out.size();
  out.resize(at + text.size());
  char* run = out.data() + at;
  std::size_t ascii = 0;
  for (; ascii + kBlock <= text.size(); ascii += kBlock) {
    OLECHAR high = 0;
    for (std::size_t i = 0; i < kBlock; ++i) high |= text[ascii + i];
    if (high >= 0x80) break;
    for (std::size_t i = 0; i < kBlock; ++i) run[ascii + i] = static_cast<char>(text[ascii + i]);
  }
  for (; ascii < text.size() && text[ascii] < 0x80; ++ascii)
    run[ascii] = static_cast<char>(text[ascii]);
  out.resize(at + ascii);
  if (ascii == text.size()) return;
  out.reserve(out.size() + (text.size() - ascii) * 3);
  for (std::size_t i = ascii; i < text.size(); ++i) {
    std::uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = '?';
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
}

std::string to_utf8(OleStringView text) {
  std::string out;
  append_utf8(out, text);
  return out;
}

}  // namespace corvane
