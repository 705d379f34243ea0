#include "platform/dates.h"

namespace corvane::platform {

bool is_date_text(OleStringView text) {
  OleString terminated(text);
  DATE date = 0;
  return VarDateFromStr(terminated.data(), LOCALE_USER_DEFAULT, 0, &date) == S_OK;
}

}  // namespace corvane::platform
