#include "platform/numbers.h"

namespace corvane::platform {

bool is_numeric_text(OleStringView text) {
  OleString terminated(text);
  double value = 0;
  return SUCCEEDED(VarR8FromStr(terminated.data(), LOCALE_USER_DEFAULT, 0, &value));
}

std::optional<std::int32_t> long_from_text(OleStringView text) {
  OleString terminated(text);
  LONG value = 0;
  if (FAILED(VarI4FromStr(terminated.data(), LOCALE_USER_DEFAULT, 0, &value))) return std::nullopt;
  return value;
}

}  // namespace corvane::platform
