// Every block goes to the Manager's memory functions while they are in use,
// else to the system's own blocks.
#include "platform/memory.h"

#include <atomic>

namespace platform {
namespace {

const MemoryFunctions* g_functions = nullptr;
std::atomic<std::int64_t> g_blocksHeld{0};

}  // namespace

void UseMemoryFunctions(const MemoryFunctions* functions) {
  g_functions = functions;
}

bool UsingMemoryFunctions() {
  return g_functions != nullptr;
}

MemoryHandle MemAlloc(std::size_t bytes) {
  MemoryHandle block = g_functions ? g_functions->allocate(bytes) : SystemMemAlloc(bytes);
  // One writer (the window's thread): a plain store, no locked instruction.
  if (block)
    g_blocksHeld.store(g_blocksHeld.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  return block;
}

std::int64_t MemBlocksHeld() {
  return g_blocksHeld.load(std::memory_order_relaxed);
}

void* MemLock(MemoryHandle block) {
  if (!block) return nullptr;
  return g_functions ? g_functions->lock(block) : SystemMemLock(block);
}

void MemUnlock(MemoryHandle block) {
  if (!block) return;
  g_functions ? g_functions->unlock(block) : SystemMemUnlock(block);
}

void MemFree(MemoryHandle block) {
  if (!block) return;
  g_blocksHeld.store(g_blocksHeld.load(std::memory_order_relaxed) - 1, std::memory_order_relaxed);
  g_functions ? g_functions->free(block) : SystemMemFree(block);
}

}  // namespace platform
