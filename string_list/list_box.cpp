#include "string_list/list_box.h"

#include <utility>

#include "automation/bstr.h"
#include "automation/error.h"
#include "automation/variant.h"

namespace corvane {

namespace {

constexpr IID kNullIid = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

IUnknown* object_of(const VARIANT& v, bool* is_object) {
  const VARIANT& d = dereferenced(v);
  *is_object = true;
  switch (d.vt) {
    case VT_DISPATCH:
      return d.pdispVal;
    case VT_UNKNOWN:
      return d.punkVal;
    case VT_BYREF | VT_DISPATCH:
      return d.ppdispVal == nullptr ? nullptr : *d.ppdispVal;
    case VT_BYREF | VT_UNKNOWN:
      return d.ppunkVal == nullptr ? nullptr : *d.ppunkVal;
    default:
      *is_object = false;
      return nullptr;
  }
}

// The automation error a failed Invoke stands for, with the callee's own
// number and description when it raised one.
AutomationError invoke_error(HRESULT hr, EXCEPINFO& info) {
  // A deferred exception fills in its texts now, before they are taken over.
  if (hr == DISP_E_EXCEPTION && info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
  Bstr description = Bstr::attach(info.bstrDescription);
  Bstr source = Bstr::attach(info.bstrSource);
  Bstr help = Bstr::attach(info.bstrHelpFile);
  if (hr != DISP_E_EXCEPTION) return error_from_hresult(hr);
  const HRESULT code =
      info.scode != 0 ? info.scode : static_cast<HRESULT>(0x800A0000u | info.wCode);
  AutomationError base = error_from_hresult(code);
  return AutomationError(
      base.number(),
      description.view().empty() ? base.description() : OleString(description.view()),
      OleString(source.view()), 0);
}

}  // namespace

ListBoxControl ListBoxControl::from_variant(const VARIANT& v) {
  bool is_object = false;
  IUnknown* object = object_of(v, &is_object);
  if (!is_object) throw AutomationError(vb_error::kTypeMismatch);
  if (object == nullptr) throw AutomationError(91);
  void* list_box = nullptr;
  if (FAILED(object->QueryInterface(kIID_ListBox, &list_box)) || list_box == nullptr) {
    throw AutomationError(vb_error::kTypeMismatch);
  }
  return ListBoxControl(static_cast<IDispatch*>(list_box));
}

ListBoxControl::ListBoxControl(ListBoxControl&& other) noexcept
    : control_(std::exchange(other.control_, nullptr)),
      list_count_id_(other.list_count_id_),
      list_id_(other.list_id_) {}

ListBoxControl::~ListBoxControl() {
  if (control_ != nullptr) control_->Release();
}

DISPID ListBoxControl::dispid_of(const OLECHAR* name, DISPID& cache) {
  if (cache == DISPID_UNKNOWN) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    check_hresult(control_->GetIDsOfNames(kNullIid, names, 1, LOCALE_USER_DEFAULT, &cache));
  }
  return cache;
}

void ListBoxControl::get_property(DISPID id, VARIANT* args, UINT arg_count, VARIANT* result) {
  DISPPARAMS params{args, nullptr, arg_count, 0};
  EXCEPINFO info{};
  UINT arg_error = 0;
  const HRESULT hr =
      control_->Invoke(id, kNullIid, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                       &params, result, &info, &arg_error);
  if (FAILED(hr)) throw invoke_error(hr, info);
}

std::int16_t ListBoxControl::ListCount() {
  Variant result;
  get_property(dispid_of(OLESTR("ListCount"), list_count_id_), nullptr, 0, result.put());
  return variant_to_int16(result.get());
}

OleString ListBoxControl::List(std::int16_t index) {
  Variant arg;
  arg.get().vt = VT_I2;
  arg.get().iVal = index;
  Variant result;
  get_property(dispid_of(OLESTR("List"), list_id_), &arg.get(), 1, result.put());
  return variant_to_text(result.get());
}

}  // namespace corvane
