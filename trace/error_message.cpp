#include "trace/error_message.h"

#include "automation/vb_text.h"
#include "platform/numbers.h"
#include "trace/locations.h"

namespace corvane::modVBTrace {

namespace {

constexpr OleStringView kLinePhrase = OLESTR("The error occured at line:");

// Mid(text, start, length) with 1-based start; out-of-range parts are empty.
OleStringView mid(OleStringView text, std::int64_t start, std::int64_t length = -1) {
  if (start < 1 || static_cast<std::size_t>(start) > text.size()) return {};
  OleStringView rest = text.substr(static_cast<std::size_t>(start - 1));
  if (length >= 0 && static_cast<std::size_t>(length) < rest.size()) {
    rest = rest.substr(0, static_cast<std::size_t>(length));
  }
  return rest;
}

}  // namespace

bool bfnIsNumberChar(OleStringView sChar) {
  if (sChar == OLESTR(" ") || sChar == OLESTR("-")) return true;
  return platform::is_numeric_text(sChar);
}

bool bfnIsNotSeparator(OleStringView sChar) {
  return !(sChar == OLESTR(" ") || sChar == OLESTR(",") || sChar == OLESTR(".") ||
           sChar == OLESTR("-") || sChar == OLESTR(":"));
}

OleString sfnErrorNumberFromMessage(OleStringView sMsg, std::int32_t& lStop) {
  try {
    const std::size_t q = instr(sMsg, OLESTR("Error "), 1, CompareMode::kText);
    if (q == 0) return OLESTR("0");
    if (q > 1 && bfnIsNotSeparator(sMsg.substr(q - 2, 1))) return OLESTR("0");
    OleString number;
    bool started = false;
    std::size_t pos = q + 5;
    for (; pos <= sMsg.size(); ++pos) {
      const OleStringView c = sMsg.substr(pos - 1, 1);
      if (c == OLESTR(" ")) {
        if (started) break;
        continue;
      }
      started = true;
      if (!bfnIsNumberChar(c)) break;
      number += c;
    }
    lStop = static_cast<std::int32_t>(pos);
    return number.empty() ? OleString(OLESTR("0")) : number;
  } catch (...) {
    return OLESTR("0");
  }
}

void ParseErrorMessage(OleStringView sMsg, OleString& sLineNumber, OleString& sErrNum,
                       OleString& sSource, OleString& sDescription) {
  try {
    sLineNumber = OLESTR("0");
    sDescription = OleString(sMsg);
    sSource = OLESTR("Unknown");
    sErrNum = OLESTR("0");
    if (sMsg.empty()) return;

    std::int32_t lStop = 0;
    sErrNum = sfnErrorNumberFromMessage(sMsg, lStop);

    const std::int64_t p = static_cast<std::int64_t>(instr(sMsg, kLinePhrase));
    if (p == 0) return;

    OleStringView line = trim_blanks(mid(sMsg, p + 27));
    if (!platform::is_numeric_text(line)) {
      std::size_t digits = 0;
      while (digits < line.size() && line[digits] >= u'0' && line[digits] <= u'9') ++digits;
      line = line.substr(0, digits);
    }
    sLineNumber = OleString(line);

    const OleStringView t = sMsg.substr(0, p > 3 ? static_cast<std::size_t>(p - 3) : 0);
    const std::int64_t n = lfnBackwardsInstr(t, OLESTR(" "), -1);
    if (n <= 0) return;
    const std::int64_t s = p - n - 3;
    if (s <= 0) return;

    sSource = OleString(trim_blanks(mid(sMsg, s, n)));
    // A negative length is the runtime's invalid-argument error: the parse ends.
    const std::int64_t length = s - 5 - lStop;
    if (length < 0) return;
    sDescription = OleString(trim_blanks(mid(sMsg, lStop + 1, length)));
  } catch (...) {
  }
}

}  // namespace corvane::modVBTrace
