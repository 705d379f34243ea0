#include "platform/libraries.h"

#include <dlfcn.h>

#include <string>

#include "automation/vb_text.h"
#include "platform/module_info.h"

namespace corvane::platform {

namespace {

// Loads the library for one call, finds the function and hands its address to
// `call`; the library is released again afterwards.
template <class Call>
std::int32_t with_function(OleStringView library, const char* function, Call call) {
  // Beside the component first, as Windows looks in the program's folder.
  const OleString own = ModuleInfo::current().own_file_path();
  const std::size_t slash = own.find_last_of(u'/');
  const std::string beside = slash == OleString::npos
                                 ? std::string()
                                 : to_utf8(own.substr(0, slash + 1)) + to_utf8(library);
  void* module = beside.empty() ? nullptr : ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) module = ::dlopen(to_utf8(library).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return 53;
  void* entry = ::dlsym(module, function);
  if (entry != nullptr) call(entry);
  ::dlclose(module);
  return entry == nullptr ? 453 : 0;
}

}  // namespace

std::int32_t call_library_function(OleStringView library, const char* function,
                                   std::string_view text, std::int32_t a, std::int32_t b) {
  return with_function(library, function, [&](void* entry) {
    using Function = std::int32_t (*)(const char*, std::int32_t, std::int32_t);
    const std::string terminated(text);
    reinterpret_cast<Function>(entry)(terminated.c_str(), a, b);
  });
}

std::int32_t call_library_function(OleStringView library, const char* function,
                                   std::int32_t argument, std::int32_t& result) {
  return with_function(library, function, [&](void* entry) {
    using Function = std::int32_t (*)(std::int32_t);
    result = reinterpret_cast<Function>(entry)(argument);
  });
}

}  // namespace corvane::platform
