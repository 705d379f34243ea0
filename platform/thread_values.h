// Values kept once per thread: the component is apartment-threaded, one
// thread per apartment, so this is one set of module values per apartment.
//
// The values live in a block owned by the thread, created on first use and
// destroyed when the thread ends. In a program that block is released at
// thread exit by an ordinary thread-local guard. Inside a DLL that guard
// would keep the DLL from ever unloading (the runtime pins a module that has
// thread-exit destructors pending), so the DLL's entry point releases the
// blocks itself instead: release_current_thread() when a thread detaches,
// release_all_threads() when the DLL is unloaded.
#pragma once

#include <cstddef>

namespace corvane::platform {

class ThreadValues {
 public:
  // This thread's T, created (value-initialised) on first use.
  template <class T>
  static T& get() {
    static const std::size_t slot = next_slot();
    void*& cell = cell_of(slot);
    if (cell == nullptr) cell = install(slot, new T(), [](void* p) { delete static_cast<T*>(p); });
    return *static_cast<T*>(cell);
  }

  // Called once by a DLL's entry point before any value is created: from then
  // on the entry point releases the blocks.
  static void released_by_host();
  static void release_current_thread();
  static void release_all_threads();

 private:
  using Destroy = void (*)(void*);
  static std::size_t next_slot();
  static void*& cell_of(std::size_t slot);
  static void* install(std::size_t slot, void* value, Destroy destroy);
};

}  // namespace corvane::platform
