// The automation error: what the runtime's error object carries (number,
// description, source) plus the source line where the failure was detected.
// Inside the component it travels as a C++ exception; error traps catch it
// and no exception ever leaves a routine that has a trap.
#pragma once

#include <cstdint>
#include <exception>
#include <source_location>

#include "automation/ole_types.h"

namespace corvane {

// Runtime error numbers that the component raises or reports.
namespace vb_error {
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kArrayLocked = 10;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kInternalError = 51;
inline constexpr std::int32_t kBadFileNameOrNumber = 52;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kFileAlreadyOpen = 55;
inline constexpr std::int32_t kDeviceIoError = 57;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kTooManyFiles = 67;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kPathFileAccessError = 75;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kObjectRequired = 424;
inline constexpr std::int32_t kObjectDoesNotSupport = 438;
inline constexpr std::int32_t kAutomationError = 440;
}  // namespace vb_error

// The runtime's own text for an error number ("Subscript out of range" for 9),
// or "Application-defined or object-defined error" for numbers it does not know.
OleString runtime_error_text(std::int32_t number);

class AutomationError : public std::exception {
 public:
  // An error with the runtime's own description for its number.
  explicit AutomationError(std::int32_t number,
                           std::source_location where = std::source_location::current());
  AutomationError(std::int32_t number, OleString description, OleString source = {},
                  std::source_location where = std::source_location::current());
  AutomationError(std::int32_t number, OleString description, OleString source, std::int32_t line);

  std::int32_t number() const { return number_; }
  const OleString& description() const { return description_; }
  const OleString& source() const { return source_; }
  std::int32_t line() const { return line_; }

  const char* what() const noexcept override { return "automation error"; }

 private:
  std::int32_t number_;
  OleString description_;
  OleString source_;
  std::int32_t line_;
};

// The automation error that a failed oleaut32 or COM call stands for, as the
// runtime reports it (DISP_E_BADINDEX is error 9, E_OUTOFMEMORY error 7, ...).
AutomationError error_from_hresult(HRESULT hr,
                                   std::source_location where = std::source_location::current());

// Raises error_from_hresult(hr) when hr is a failure.
inline void check_hresult(HRESULT hr,
                          std::source_location where = std::source_location::current()) {
  if (FAILED(hr)) throw error_from_hresult(hr, where);
}

// The automation error for whatever is in flight inside a catch block: an
// AutomationError as it is, std::bad_alloc as error 7, anything else as 51.
AutomationError current_exception_as_automation_error();

}  // namespace corvane
