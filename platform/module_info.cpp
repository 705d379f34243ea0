#include "platform/module_info.h"

namespace corvane::platform {

OleString file_base_name(OleStringView path) {
  const std::size_t slash = path.find_last_of(OLESTR("\\/"));
  OleStringView name = slash == OleStringView::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of(u'.');
  if (dot != OleStringView::npos && dot > 0) name = name.substr(0, dot);
  return OleString(name);
}

OleString file_folder(OleStringView path) {
  const std::size_t slash = path.find_last_of(OLESTR("\\/"));
  return slash == OleStringView::npos ? OleString() : OleString(path.substr(0, slash));
}

}  // namespace corvane::platform
