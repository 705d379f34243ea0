#include "string_list/com/com_boundary.h"

#include "CorvaneV10.h"

namespace corvane::com {

HRESULT hresult_of_error_number(std::int32_t number) {
  if (number < 0) return static_cast<HRESULT>(number);
  return static_cast<HRESULT>(0x800A0000u | (static_cast<std::uint32_t>(number) & 0xFFFFu));
}

HRESULT report_to_client(const AutomationError& error) noexcept {
  HRESULT hr = hresult_of_error_number(error.number());
  if (SUCCEEDED(hr)) hr = E_FAIL;
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return hr;
  try {
    OleString source =
        error.source().empty() ? OleString(L"CorvaneV10.clsStringList") : error.source();
    OleString description = error.description();
    create->SetGUID(IID__clsStringList);
    create->SetSource(source.data());
    create->SetDescription(description.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
  } catch (...) {
    // Out of memory while building the texts: the HRESULT still goes back.
  }
  create->Release();
  return hr;
}

}  // namespace corvane::com
