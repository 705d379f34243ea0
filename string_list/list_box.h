// The list-box control of the host's forms runtime, as the list-box transfer
// uses it: its list-box interface and two of its properties, ListCount and
// List(index), both 16-bit. The properties are read through IDispatch by
// name, which works whether the control's interface is dual or a dispinterface.
#pragma once

#include <cstdint>

#include "automation/ole_types.h"

namespace corvane {

// {33AD4F11-6699-11CF-B70C-00AA0060D393}
inline constexpr IID kIID_ListBox = {
    0x33AD4F11, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};

class ListBoxControl {
 public:
  // The control held by a variant (directly or by reference). Raises 13 when
  // the variant holds anything but an object with the list-box interface, and
  // 91 when it holds no object.
  static ListBoxControl from_variant(const VARIANT& v);

  ListBoxControl(const ListBoxControl&) = delete;
  ListBoxControl& operator=(const ListBoxControl&) = delete;
  ListBoxControl(ListBoxControl&& other) noexcept;
  ~ListBoxControl();

  std::int16_t ListCount();
  OleString List(std::int16_t index);

 private:
  explicit ListBoxControl(IDispatch* control) : control_(control) {}
  DISPID dispid_of(const OLECHAR* name, DISPID& cache);
  void get_property(DISPID id, VARIANT* args, UINT arg_count, VARIANT* result);

  IDispatch* control_;
  DISPID list_count_id_ = DISPID_UNKNOWN;
  DISPID list_id_ = DISPID_UNKNOWN;
};

}  // namespace corvane
