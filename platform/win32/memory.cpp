#include "platform/memory.h"

#include <windows.h>

namespace platform {

MemoryHandle MemAlloc(std::size_t bytes) {
  return GlobalAlloc(GMEM_MOVEABLE, bytes);
}

void* MemLock(MemoryHandle block) {
  return block ? GlobalLock(static_cast<HGLOBAL>(block)) : nullptr;
}

void MemUnlock(MemoryHandle block) {
  if (block) GlobalUnlock(static_cast<HGLOBAL>(block));
}

void MemFree(MemoryHandle block) {
  if (block) GlobalFree(static_cast<HGLOBAL>(block));
}

std::size_t MemSize(MemoryHandle block) {
  return block ? GlobalSize(static_cast<HGLOBAL>(block)) : 0;
}

}  // namespace platform
