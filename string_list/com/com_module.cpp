#include "string_list/com/com_module.h"

#include <atomic>
#include <mutex>

#include "CorvaneV10.h"
#include "platform/module_info.h"
#include "platform/thread_values.h"

namespace corvane::com {

namespace {

HINSTANCE g_instance = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

std::mutex g_type_info_mutex;
ITypeInfo* g_interface_info = nullptr;
ITypeInfo* g_dispatch_info = nullptr;

}  // namespace

HINSTANCE module_instance() {
  return g_instance;
}

void object_created() {
  ++g_objects;
}
void object_destroyed() {
  --g_objects;
}
void lock_server(bool lock) {
  if (lock) {
    ++g_locks;
  } else {
    --g_locks;
  }
}
bool module_idle() {
  return g_objects.load() == 0 && g_locks.load() == 0;
}

OleString module_path() {
  return platform::module_file_path(g_instance);
}

HRESULT string_list_type_info(ITypeInfo** interface_info, ITypeInfo** dispatch_info) {
  std::lock_guard<std::mutex> lock(g_type_info_mutex);
  if (g_dispatch_info == nullptr) {
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(module_path().c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    ITypeInfo* dispatch = nullptr;
    hr = library->GetTypeInfoOfGuid(IID__clsStringList, &dispatch);
    library->Release();
    if (FAILED(hr)) return hr;
    // The vtable view of the dual interface is the one its dispatch view refers to as -1.
    HREFTYPE vtable_ref = 0;
    ITypeInfo* vtable = nullptr;
    hr = dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable_ref);
    if (SUCCEEDED(hr)) hr = dispatch->GetRefTypeInfo(vtable_ref, &vtable);
    if (FAILED(hr)) {
      dispatch->Release();
      return hr;
    }
    g_dispatch_info = dispatch;
    g_interface_info = vtable;
  }
  if (interface_info != nullptr) *interface_info = g_interface_info;
  if (dispatch_info != nullptr) *dispatch_info = g_dispatch_info;
  return S_OK;
}

void release_type_info() {
  std::lock_guard<std::mutex> lock(g_type_info_mutex);
  if (g_interface_info != nullptr) g_interface_info->Release();
  if (g_dispatch_info != nullptr) g_dispatch_info->Release();
  g_interface_info = nullptr;
  g_dispatch_info = nullptr;
}

// The loader's entry point: remembers the module's handle and releases the
// per-apartment values of a thread that ends, and of every thread when the
// DLL is unloaded (not when the process ends: then nothing needs freeing).
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      g_instance = instance;
      platform::ThreadValues::released_by_host();
      break;
    case DLL_THREAD_DETACH:
      platform::ThreadValues::release_current_thread();
      break;
    case DLL_PROCESS_DETACH:
      if (reserved == nullptr) platform::ThreadValues::release_all_threads();
      break;
    default:
      break;
  }
  return TRUE;
}

}  // namespace corvane::com
