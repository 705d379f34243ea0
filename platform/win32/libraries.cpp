#include "platform/libraries.h"

#include <string>

namespace corvane::platform {

std::int32_t call_library_function(OleStringView library, const char* function,
                                   std::string_view text, std::int32_t a, std::int32_t b) {
  const OleString name(library);
  HMODULE module = LoadLibraryW(name.c_str());
  if (module == nullptr) return 53;
  using Function = LONG(WINAPI*)(const char*, LONG, LONG);
  auto entry =
      reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, function)));
  if (entry == nullptr) {
    FreeLibrary(module);
    return 453;
  }
  const std::string terminated(text);
  entry(terminated.c_str(), a, b);
  FreeLibrary(module);
  return 0;
}

}  // namespace corvane::platform
