// Every block goes to the Manager's memory functions while they are in use,
// else to the system's own blocks.
#include "platform/memory.h"

namespace platform {
namespace {

const MemoryFunctions* g_functions = nullptr;

}  // namespace

void UseMemoryFunctions(const MemoryFunctions* functions) {
  g_functions = functions;
}

bool UsingMemoryFunctions() {
  return g_functions != nullptr;
}

MemoryHandle MemAlloc(std::size_t bytes) {
  return g_functions ? g_functions->allocate(bytes) : SystemMemAlloc(bytes);
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
  g_functions ? g_functions->free(block) : SystemMemFree(block);
}

}  // namespace platform
