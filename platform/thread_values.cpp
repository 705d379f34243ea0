#include "platform/thread_values.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

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

thread_local Block* t_block = nullptr;

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
  if (t_block == nullptr) {
    t_block = new Block();
    {
      std::lock_guard<std::mutex> lock(g_blocks_mutex);
      all_blocks().push_back(t_block);
    }
    if (!g_released_by_host.load()) {
      thread_local ExitGuard guard;
      (void)guard;
    }
  }
  return *t_block;
}

}  // namespace

void ThreadValues::released_by_host() {
  g_released_by_host = true;
}

void ThreadValues::release_current_thread() {
  if (Block* b = t_block) {
    t_block = nullptr;
    release(b);
  }
}

void ThreadValues::release_all_threads() {
  std::vector<Block*> blocks;
  {
    std::lock_guard<std::mutex> lock(g_blocks_mutex);
    blocks.swap(all_blocks());
  }
  t_block = nullptr;
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
