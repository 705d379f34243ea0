#include "platform/numbers.h"

#include "automation/error.h"

namespace corvane::platform {

bool is_numeric_text(OleStringView text) {
  OleString terminated(text);
  double value = 0;
  return SUCCEEDED(VarR8FromStr(terminated.data(), LOCALE_USER_DEFAULT, 0, &value));
}

std::int32_t convert_to_long(OleStringView text, std::int32_t& value) {
  OleString terminated(text);
  LONG converted = 0;
  const HRESULT result = VarI4FromStr(terminated.data(), LOCALE_USER_DEFAULT, 0, &converted);
  if (result == DISP_E_OVERFLOW) return vb_error::kOverflow;
  if (FAILED(result)) return vb_error::kTypeMismatch;
  value = converted;
  return 0;
}

}  // namespace corvane::platform
