#include "platform/numbers.h"

namespace corvane::platform {

bool is_numeric_text(OleStringView text) {
  OleString terminated(text);
  double value = 0;
  return SUCCEEDED(VarR8FromStr(terminated.data(), LOCALE_USER_DEFAULT, 0, &value));
}

}  // namespace corvane::platform
