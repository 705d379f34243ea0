// The COM boundary: what a member hands back to its client. No C++ exception
// crosses it; an automation error becomes a failing HRESULT with IErrorInfo
// (number, source, description), as the runtime's Err object reads it.
#pragma once

#include <cstdint>

#include "automation/error.h"
#include "automation/ole_types.h"

namespace corvane::com {

// The HRESULT that carries a runtime error number: 0x800A0000 | n for the
// runtime's own numbers (1 to 65535), the number itself when it is negative.
HRESULT hresult_of_error_number(std::int32_t number);

// Sets the thread's error information and returns the HRESULT for `error`.
// An error without a source gets the class's programmatic identifier.
HRESULT report_to_client(const AutomationError& error) noexcept;

// Runs a member's body (which returns an HRESULT); whatever escapes it is
// reported to the client.
template <class Body>
HRESULT at_boundary(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return report_to_client(current_exception_as_automation_error());
  }
}

// The text of a by-reference string argument (a null string is empty).
inline OleStringView text_of(BSTR* argument) {
  return (argument == nullptr || *argument == nullptr)
             ? OleStringView()
             : OleStringView(*argument, SysStringLen(*argument));
}

}  // namespace corvane::com
