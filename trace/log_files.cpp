#include "trace/log_files.h"

#include <cstdio>

#include "automation/vb_text.h"
#include "platform/clock.h"
#include "platform/file_numbers.h"
#include "platform/text_encoding.h"
#include "trace/module_values.h"

namespace corvane::modVBTrace {

void print_line_to(OleStringView path, OleStringView text) {
  const int number = platform::FreeFile();
  if (const std::int32_t error = platform::open_for_append(number, path))
    throw AutomationError(error);
  platform::OpenFileNumber file(number);
  OleString line(text);
  line += OLESTR("\r\n");
  platform::print_bytes(number, platform::to_ansi(line));
  file.close();
}

OleString clock_time_text(Colon colon) {
  platform::Clock& clock = platform::Clock::current();
  const platform::LocalTime t = clock.local_time();
  const std::string separator = colon == Colon::kLocale ? clock.time_separator() : ":";
  char digits[3][3];
  std::snprintf(digits[0], sizeof digits[0], "%02u", unsigned{t.hour} % 100);
  std::snprintf(digits[1], sizeof digits[1], "%02u", unsigned{t.minute} % 100);
  std::snprintf(digits[2], sizeof digits[2], "%02u", unsigned{t.second} % 100);
  return platform::from_ansi(std::string(digits[0]) + separator + digits[1] + separator +
                             digits[2]);
}

OleString failure_record(OleStringView heading, const AutomationError& error, Colon colon) {
  OleString record = clock_time_text(colon);
  record += u'\t';
  record += heading;
  record += OLESTR("\r\nError ");
  record += to_text(error.number());
  record += OLESTR("\r\n");
  record += error.description();
  record += OLESTR("\r\nAt line ");
  record += to_text(error.line());
  return record;
}

OleString possible_errors_path() {
  const OleString& folder = module_values().log_folder;
  return folder.empty() ? OleString() : folder + OLESTR("\\PossibleErrors.log");
}

}  // namespace corvane::modVBTrace
