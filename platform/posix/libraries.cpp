#include "platform/libraries.h"

#include <dlfcn.h>

#include <string>

#include "automation/vb_text.h"
#include "platform/module_info.h"

namespace corvane::platform {

std::int32_t call_library_function(OleStringView library, const char* function,
                                   std::string_view text, std::int32_t a, std::int32_t b) {
  // Beside the component first, as Windows looks in the program's folder.
  const OleString own = ModuleInfo::current().own_file_path();
  const std::size_t slash = own.find_last_of(u'/');
  const std::string beside = slash == OleString::npos
                                 ? std::string()
                                 : to_utf8(own.substr(0, slash + 1)) + to_utf8(library);
  void* module = beside.empty() ? nullptr : ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) module = ::dlopen(to_utf8(library).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return 53;
  using Function = std::int32_t (*)(const char*, std::int32_t, std::int32_t);
  auto entry = reinterpret_cast<Function>(::dlsym(module, function));
  if (entry == nullptr) {
    ::dlclose(module);
    return 453;
  }
  const std::string terminated(text);
  entry(terminated.c_str(), a, b);
  ::dlclose(module);
  return 0;
}

}  // namespace corvane::platform
