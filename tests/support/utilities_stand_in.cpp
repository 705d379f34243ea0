// Stand-ins for the suite's libraries, built from this file under two names:
// "QuillonUtilsV8.dll", whose TerminateQuillon records what it is given in
// "TerminateQuillon.calls" beside the library (one line each: text TAB number
// TAB number), and "rodevuzudov.dll", whose CanRaiseEventOnCurrentSTAThread
// records its argument in "CanRaiseEvent.calls" and answers the number in
// "CanRaiseEvent.answer" beside the library (1 when there is none).
#include <cstdint>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>
#define STAND_IN_EXPORT extern "C" __declspec(dllexport)
#define STAND_IN_CALL __stdcall
#else
#include <dlfcn.h>
#define STAND_IN_EXPORT extern "C" __attribute__((visibility("default")))
#define STAND_IN_CALL
#endif

namespace {

// A file beside this library, opened in `mode`.
FILE* beside(const char* name, const char* mode) {
  std::string path;
#ifdef _WIN32
  HMODULE self = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&beside), &self);
  char buffer[MAX_PATH] = {};
  GetModuleFileNameA(self, buffer, MAX_PATH);
  path = buffer;
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&beside), &info) != 0 && info.dli_fname) path = info.dli_fname;
#endif
  const std::size_t slash = path.find_last_of("\\/");
  return std::fopen(
      ((slash == std::string::npos ? "." : path.substr(0, slash)) + "/" + name).c_str(), mode);
}

}  // namespace

STAND_IN_EXPORT std::int32_t STAND_IN_CALL TerminateQuillon(const char* text, std::int32_t pid,
                                                            std::int32_t zero) {
  if (FILE* f = beside("TerminateQuillon.calls", "ab")) {
    std::fprintf(f, "%s\t%d\t%d\n", text, static_cast<int>(pid), static_cast<int>(zero));
    std::fclose(f);
  }
  return 0;
}

STAND_IN_EXPORT std::int32_t STAND_IN_CALL CanRaiseEventOnCurrentSTAThread(std::int32_t argument) {
  if (FILE* f = beside("CanRaiseEvent.calls", "ab")) {
    std::fprintf(f, "%d\n", static_cast<int>(argument));
    std::fclose(f);
  }
  int answer = 1;
  if (FILE* f = beside("CanRaiseEvent.answer", "rb")) {
    if (std::fscanf(f, "%d", &answer) != 1) answer = 1;
    std::fclose(f);
  }
  return answer;
}
