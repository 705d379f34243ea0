// A stand-in for the suite's trace viewer (Windows): a top-level window
// titled "DovaziVeduzi - QuillonMT" that appends every WM_COPYDATA record it
// gets to the file named by its first argument, one line each:
// dwData TAB wParam TAB cbData TAB text. The text "quit" with dwData 99
// closes it; so does the end of the seconds given as second argument.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string g_record_file;

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COPYDATA: {
      const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
      const char* bytes = static_cast<const char*>(record->lpData);
      const std::string text(bytes, record->cbData);
      if (record->dwData == 99 && text == "quit") {
        DestroyWindow(window);
        return TRUE;
      }
      if (FILE* f = std::fopen(g_record_file.c_str(), "ab")) {
        std::fprintf(f, "%lu\t%lu\t%lu\t", static_cast<unsigned long>(record->dwData),
                     static_cast<unsigned long>(wparam),
                     static_cast<unsigned long>(record->cbData));
        std::fwrite(text.data(), 1, text.size(), f);
        std::fputs("\n", f);  // the system copies cbData bytes: the NUL stays behind
        std::fclose(f);
      }
      return TRUE;
    }
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  g_record_file = argv[1];
  const UINT seconds = argc >= 3 ? static_cast<UINT>(std::atoi(argv[2])) : 30;
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "CorvaneViewerStandIn";
  RegisterClassA(&window_class);
  HWND window = CreateWindowA("CorvaneViewerStandIn", "DovaziVeduzi - QuillonMT", WS_OVERLAPPED, 0,
                              0, 100, 100, nullptr, nullptr, window_class.hInstance, nullptr);
  if (window == nullptr) return 1;
  SetTimer(window, 1, seconds * 1000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
