#include "platform/numbers.h"

#include "automation/error.h"

namespace corvane::platform {

std::optional<std::int32_t> long_from_text(OleStringView text) {
  std::int32_t value = 0;
  if (convert_to_long(text, value) != 0) return std::nullopt;
  return value;
}

std::int32_t long_from_text_or_raise(OleStringView text) {
  std::int32_t value = 0;
  if (const std::int32_t error = convert_to_long(text, value)) throw AutomationError(error);
  return value;
}

}  // namespace corvane::platform
