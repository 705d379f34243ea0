// The error-message parser on any text, and on the messages the standard
// error trap builds, which it must take apart into what went in.
#include "automation/error.h"
#include "fuzz/fuzz_support.h"
#include "trace/error_message.h"
#include "trace/error_trap.h"

using namespace corvane;
using namespace corvane::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  OleString line, number, source, description;
  if (in.ConsumeBool()) {
    // Any text: the outputs are always set, and the number scan stops inside
    // the text or one past its end.
    const OleString message = any_text(in, 400);
    modVBTrace::ParseErrorMessage(message, line, number, source, description);
    FUZZ_CHECK(!number.empty() && !source.empty(), printable(message));
    std::int32_t stop = -7;
    const OleString alone = modVBTrace::sfnErrorNumberFromMessage(message, stop);
    FUZZ_CHECK(alone == number, printable(message));
    FUZZ_CHECK(stop == -7 || (stop >= 6 && static_cast<std::size_t>(stop) <= message.size() + 1),
               printable(message) + " stop " + std::to_string(stop));
    return 0;
  }
  // The standard message of an error: its number, line and description come
  // back as they went in (the description without blanks at its ends).
  const std::int32_t error_number = in.ConsumeIntegral<std::int32_t>();
  const std::int32_t error_line = in.ConsumeIntegralInRange<std::int32_t>(0, 1 << 30);
  OleString text = text_from(in, "abc Error:-1.\r\n()xyz", 60);
  // The one phrase the parser looks for cannot be part of a description.
  if (text.find(OLESTR("The error occured at line:")) != OleString::npos) return 0;
  OleString label = OLESTR("in ") + text_from(in, "Corvane.mdlRtn_", 40) + OLESTR(".");
  const AutomationError error(error_number, text, OleString(), error_line);
  const OleString message = modVBTrace::standard_error_message(error, label);
  modVBTrace::ParseErrorMessage(message, line, number, source, description);
  FUZZ_CHECK(number == to_text(error_number), printable(message) + " -> " + printable(number));
  FUZZ_CHECK(line == to_text(error_line), printable(message) + " -> " + printable(line));
  FUZZ_CHECK(description == trim_blanks(error.description()),
             printable(message) + " -> " + printable(description));
  return 0;
}
