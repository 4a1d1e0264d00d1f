#include "platform/memory.h"

#include <windows.h>

namespace platform {

MemoryHandle SystemMemAlloc(std::size_t bytes) {
  return GlobalAlloc(GMEM_MOVEABLE, bytes);
}

void* SystemMemLock(MemoryHandle block) {
  return block ? GlobalLock(static_cast<HGLOBAL>(block)) : nullptr;
}

void SystemMemUnlock(MemoryHandle block) {
  if (block) GlobalUnlock(static_cast<HGLOBAL>(block));
}

void SystemMemFree(MemoryHandle block) {
  if (block) GlobalFree(static_cast<HGLOBAL>(block));
}

std::size_t MemSize(MemoryHandle block) {
  return block ? GlobalSize(static_cast<HGLOBAL>(block)) : 0;
}

}  // namespace platform
