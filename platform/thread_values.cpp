#include "platform/thread_values.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace corvane::platform {

namespace {

struct Block {
  std::vector<void*> cells;
  std::vector<void (*)(void*)> destroyers;

  ~Block() {
    // Later values may use earlier ones while they go: destroy in reverse.
    for (std::size_t i = cells.size(); i-- > 0;) {
      if (cells[i] != nullptr) destroyers[i](cells[i]);
    }
  }
};

std::atomic<std::size_t> g_slots{0};
std::atomic<bool> g_released_by_host{false};
std::mutex g_blocks_mutex;
std::vector<Block*>& all_blocks() {
  static std::vector<Block*> blocks;
  return blocks;
}

#ifdef _WIN32
// The thread's block is found through a slot of the system's own thread
// storage. The compiler's thread_local storage is emulated on this target,
// and the runtime frees it at thread exit before a DLL's entry point hears
// that the thread detaches: the pointer would be gone by then, and every
// ended apartment's values would stay until the DLL unloads.
// The slot is taken on first use and given back when every block is
// released (the DLL unloads), so that a host that loads and unloads the DLL
// again and again does not run out of slots.
std::atomic<DWORD> g_tls_slot{TLS_OUT_OF_INDEXES};
DWORD tls_slot() {
  DWORD slot = g_tls_slot.load();
  if (slot == TLS_OUT_OF_INDEXES) {
    const DWORD fresh = TlsAlloc();
    if (g_tls_slot.compare_exchange_strong(slot, fresh)) {
      slot = fresh;
    } else {
      TlsFree(fresh);
    }
  }
  return slot;
}
Block* current_block() {
  return static_cast<Block*>(TlsGetValue(tls_slot()));
}
void set_current_block(Block* block) {
  TlsSetValue(tls_slot(), block);
}
void forget_all_blocks() {
  const DWORD slot = g_tls_slot.exchange(TLS_OUT_OF_INDEXES);
  if (slot != TLS_OUT_OF_INDEXES) TlsFree(slot);
}
#else
thread_local Block* t_block = nullptr;
Block* current_block() {
  return t_block;
}
void set_current_block(Block* block) {
  t_block = block;
}
void forget_all_blocks() {
  t_block = nullptr;
}
#endif

void release(Block* block) {
  {
    std::lock_guard<std::mutex> lock(g_blocks_mutex);
    auto& blocks = all_blocks();
    blocks.erase(std::remove(blocks.begin(), blocks.end(), block), blocks.end());
  }
  delete block;
}

// Releases the thread's block when an ordinary program's thread ends.
struct ExitGuard {
  ~ExitGuard() { ThreadValues::release_current_thread(); }
};

Block& block() {
  Block* current = current_block();
  if (current == nullptr) {
    current = new Block();
    set_current_block(current);
    {
      std::lock_guard<std::mutex> lock(g_blocks_mutex);
      all_blocks().push_back(current);
    }
    if (!g_released_by_host.load()) {
      thread_local ExitGuard guard;
      (void)guard;
    }
  }
  return *current;
}

}  // namespace

void ThreadValues::released_by_host() {
  g_released_by_host = true;
}

void ThreadValues::release_current_thread() {
  if (Block* b = current_block()) {
    set_current_block(nullptr);
    release(b);
  }
}

void ThreadValues::release_all_threads() {
  std::vector<Block*> blocks;
  {
    std::lock_guard<std::mutex> lock(g_blocks_mutex);
    blocks.swap(all_blocks());
  }
  forget_all_blocks();
  for (Block* b : blocks) delete b;
}

std::size_t ThreadValues::next_slot() {
  return g_slots++;
}

void*& ThreadValues::cell_of(std::size_t slot) {
  Block& b = block();
  if (b.cells.size() <= slot) {
    b.cells.resize(slot + 1, nullptr);
    b.destroyers.resize(slot + 1, nullptr);
  }
  return b.cells[slot];
}

void* ThreadValues::install(std::size_t slot, void* value, Destroy destroy) {
  Block& b = block();
  b.cells[slot] = value;
  b.destroyers[slot] = destroy;
  return value;
}

}  // namespace corvane::platform
