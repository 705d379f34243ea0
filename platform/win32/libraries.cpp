#include "platform/libraries.h"

#include <string>

namespace corvane::platform {

namespace {

// Loads the library for one call, finds the function and hands its address to
// `call`; the library is released again afterwards.
template <class Call>
std::int32_t with_function(OleStringView library, const char* function, Call call) {
  const OleString name(library);
  HMODULE module = LoadLibraryW(name.c_str());
  if (module == nullptr) return 53;
  FARPROC entry = GetProcAddress(module, function);
  if (entry != nullptr) call(reinterpret_cast<void*>(entry));
  FreeLibrary(module);
  return entry == nullptr ? 453 : 0;
}

}  // namespace

std::int32_t call_library_function(OleStringView library, const char* function,
                                   std::string_view text, std::int32_t a, std::int32_t b) {
  return with_function(library, function, [&](void* entry) {
    using Function = LONG(WINAPI*)(const char*, LONG, LONG);
    const std::string terminated(text);
    reinterpret_cast<Function>(entry)(terminated.c_str(), a, b);
  });
}

std::int32_t call_library_function(OleStringView library, const char* function,
                                   std::int32_t argument, std::int32_t& result) {
  return with_function(library, function, [&](void* entry) {
    using Function = LONG(WINAPI*)(LONG);
    result = reinterpret_cast<Function>(entry)(argument);
  });
}

}  // namespace corvane::platform
