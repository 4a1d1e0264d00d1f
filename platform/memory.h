// Movable memory blocks: the storage of every container and bitmap that
// crosses the TWAIN boundary (GlobalAlloc on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "platform/handles.h"

namespace platform {

// Whether a byte count computed in 64 bits is one this address space can
// hold: always on 64-bit builds, not past 4 GiB on 32-bit ones.
constexpr bool FitsAddressSpace(std::uint64_t bytes) {
  return bytes <= std::numeric_limits<std::size_t>::max();
}

// A movable block of at least `bytes` bytes, contents unspecified; null on failure.
MemoryHandle MemAlloc(std::size_t bytes);
// The block's address, or null for a null, freed or foreign handle.
void* MemLock(MemoryHandle block);
void MemUnlock(MemoryHandle block);
// Null is ignored.
void MemFree(MemoryHandle block);
// The block's usable size in bytes; 0 for a handle that names no block.
// Always the system's answer: a Manager's memory functions have no size.
std::size_t MemSize(MemoryHandle block);

// Blocks allocated through MemAlloc less blocks freed through MemFree
// (whoever allocated them): what matters is its growth over repeated work.
std::int64_t MemBlocksHeld();

// Memory functions a Source Manager hands out. While they are in use every
// block above goes through them, as a Manager that grants them asks of its
// applications; null goes back to the system's own.
struct MemoryFunctions {
  MemoryHandle (*allocate)(std::size_t bytes);
  void (*free)(MemoryHandle block);
  void* (*lock)(MemoryHandle block);
  void (*unlock)(MemoryHandle block);
};
void UseMemoryFunctions(const MemoryFunctions* functions);
bool UsingMemoryFunctions();

// The system's own blocks, whatever is in use (what the platform builds on).
MemoryHandle SystemMemAlloc(std::size_t bytes);
void* SystemMemLock(MemoryHandle block);
void SystemMemUnlock(MemoryHandle block);
void SystemMemFree(MemoryHandle block);

// Holds one lock for its scope, so no early return leaves a block locked.
class MemLockGuard {
 public:
  explicit MemLockGuard(MemoryHandle block) : block_(block), data_(MemLock(block)) {}
  ~MemLockGuard() {
    if (data_) MemUnlock(block_);
  }
  MemLockGuard(const MemLockGuard&) = delete;
  MemLockGuard& operator=(const MemLockGuard&) = delete;

  void* data() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  MemoryHandle block_;
  void* data_;
};

}  // namespace platform
