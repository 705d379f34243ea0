#include "trace/log_files.h"

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
  auto two_digits = [](unsigned value) {
    return std::string{static_cast<char>('0' + value / 10 % 10),
                       static_cast<char>('0' + value % 10)};
  };
  return platform::from_ansi(two_digits(t.hour) + separator + two_digits(t.minute) + separator +
                             two_digits(t.second));
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
