// `corvane view --close` on Windows: posts WM_CLOSE to the window titled as
// the viewer and waits until its process has ended, its output written.
#include <windows.h>

#include <iostream>
#include <memory>
#include <type_traits>

#include "tools/viewer/view_command.h"
#include "trace/trace_forwarding.h"

namespace corvane::viewer {

int close_viewer() {
  const OleString title(modVBTrace::kTraceViewerTitle);
  const HWND window = FindWindowW(nullptr, title.c_str());
  DWORD process_id = 0;
  if (window == nullptr || GetWindowThreadProcessId(window, &process_id) == 0) {
    std::cerr << "corvane view: no viewer is running\n";
    return 1;
  }
  const std::unique_ptr<std::remove_pointer_t<HANDLE>, decltype(&CloseHandle)> process(
      OpenProcess(SYNCHRONIZE, FALSE, process_id), CloseHandle);
  const bool posted = PostMessageW(window, WM_CLOSE, 0, 0) != 0;
  const bool ended = posted && process && WaitForSingleObject(process.get(), 10000) == 0;
  if (!ended) std::cerr << "corvane view: the viewer did not end\n";
  return ended ? 0 : 1;
}

}  // namespace corvane::viewer
