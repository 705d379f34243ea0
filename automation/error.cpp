#include "automation/error.h"

#include <new>
#include <utility>

namespace corvane {

OleString runtime_error_text(std::int32_t number) {
  switch (number) {
    case 3:
      return OLESTR("Return without GoSub");
    case 5:
      return OLESTR("Invalid procedure call or argument");
    case 6:
      return OLESTR("Overflow");
    case 7:
      return OLESTR("Out of memory");
    case 9:
      return OLESTR("Subscript out of range");
    case 10:
      return OLESTR("This array is fixed or temporarily locked");
    case 11:
      return OLESTR("Division by zero");
    case 13:
      return OLESTR("Type mismatch");
    case 14:
      return OLESTR("Out of string space");
    case 28:
      return OLESTR("Out of stack space");
    case 51:
      return OLESTR("Internal error");
    case 52:
      return OLESTR("Bad file name or number");
    case 53:
      return OLESTR("File not found");
    case 54:
      return OLESTR("Bad file mode");
    case 55:
      return OLESTR("File already open");
    case 57:
      return OLESTR("Device I/O error");
    case 58:
      return OLESTR("File already exists");
    case 61:
      return OLESTR("Disk full");
    case 62:
      return OLESTR("Input past end of file");
    case 67:
      return OLESTR("Too many files");
    case 68:
      return OLESTR("Device unavailable");
    case 70:
      return OLESTR("Permission denied");
    case 71:
      return OLESTR("Disk not ready");
    case 75:
      return OLESTR("Path/File access error");
    case 76:
      return OLESTR("Path not found");
    case 91:
      return OLESTR("Object variable or With block variable not set");
    case 424:
      return OLESTR("Object required");
    case 429:
      return OLESTR("ActiveX component can't create object");
    case 438:
      return OLESTR("Object doesn't support this property or method");
    case 440:
      return OLESTR("Automation error");
    case 448:
      return OLESTR("Named argument not found");
    case 449:
      return OLESTR("Argument not optional");
    case 450:
      return OLESTR("Wrong number of arguments or invalid property assignment");
    case 458:
      return OLESTR("Variable uses an Automation type not supported in Visual Basic");
    default:
      return OLESTR("Application-defined or object-defined error");
  }
}

AutomationError::AutomationError(std::int32_t number, std::source_location where)
    : AutomationError(number, runtime_error_text(number), {},
                      static_cast<std::int32_t>(where.line())) {}

AutomationError::AutomationError(std::int32_t number, OleString description, OleString source,
                                 std::source_location where)
    : AutomationError(number, std::move(description), std::move(source),
                      static_cast<std::int32_t>(where.line())) {}

AutomationError::AutomationError(std::int32_t number, OleString description, OleString source,
                                 std::int32_t line)
    : number_(number),
      description_(std::move(description)),
      source_(std::move(source)),
      line_(line) {}

AutomationError error_from_hresult(HRESULT hr, std::source_location where) {
  const auto code = static_cast<std::uint32_t>(hr);
  // Errors of the control facility carry a runtime error number in their low word.
  if ((code & 0xFFFF0000u) == 0x800A0000u) return AutomationError(code & 0xFFFF, where);
  switch (code) {
    case static_cast<std::uint32_t>(DISP_E_BADINDEX):
      return AutomationError(vb_error::kSubscriptOutOfRange, where);
    case static_cast<std::uint32_t>(E_OUTOFMEMORY):
      return AutomationError(vb_error::kOutOfMemory, where);
    case static_cast<std::uint32_t>(DISP_E_TYPEMISMATCH):
      return AutomationError(vb_error::kTypeMismatch, where);
    case static_cast<std::uint32_t>(E_NOINTERFACE):
      return AutomationError(vb_error::kTypeMismatch, where);
    case static_cast<std::uint32_t>(DISP_E_OVERFLOW):
      return AutomationError(vb_error::kOverflow, where);
    case static_cast<std::uint32_t>(E_INVALIDARG):
      return AutomationError(vb_error::kInvalidProcedureCall, where);
    case static_cast<std::uint32_t>(DISP_E_ARRAYISLOCKED):
      return AutomationError(vb_error::kArrayLocked, where);
    case static_cast<std::uint32_t>(DISP_E_MEMBERNOTFOUND):
    case static_cast<std::uint32_t>(DISP_E_UNKNOWNNAME):
      return AutomationError(vb_error::kObjectDoesNotSupport, where);
    case static_cast<std::uint32_t>(E_POINTER):
      return AutomationError(91, where);
    default:
      return AutomationError(static_cast<std::int32_t>(hr),
                             runtime_error_text(vb_error::kAutomationError), {}, where);
  }
}

AutomationError current_exception_as_automation_error() {
  try {
    throw;
  } catch (const AutomationError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return AutomationError(vb_error::kOutOfMemory, runtime_error_text(vb_error::kOutOfMemory), {},
                           0);
  } catch (...) {
    return AutomationError(vb_error::kInternalError, runtime_error_text(vb_error::kInternalError),
                           {}, 0);
  }
}

}  // namespace corvane
