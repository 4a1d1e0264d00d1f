// Host memory blocks count allocations and locks so tests can prove that
// nothing is left locked or leaked.
#include "platform/memory.h"

#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "platform/host/host_platform.h"
#include "platform/host/host_reset.h"

namespace platform {
namespace {

struct Block {
  std::size_t size = 0;
  int locks = 0;
  void* data = nullptr;
};

struct MemoryRecord {
  std::unordered_map<MemoryHandle, Block*> blocks;
  host::MemoryStats stats;
  int failNext = 0;
  std::size_t failAbove = static_cast<std::size_t>(-1);
  int failLocks = 0;
};

MemoryRecord& Record() {
  static MemoryRecord record;
  return record;
}

Block* Find(MemoryHandle handle) {
  auto& blocks = Record().blocks;
  auto it = blocks.find(handle);
  return it == blocks.end() ? nullptr : it->second;
}

}  // namespace

MemoryHandle MemAlloc(std::size_t bytes) {
  MemoryRecord& record = Record();
  if (record.failNext > 0) {
    --record.failNext;
    return nullptr;
  }
  if (bytes > record.failAbove) return nullptr;
  auto* block = new Block;
  block->size = bytes;
  // A zero-byte block still gets an address of its own, as GlobalAlloc gives.
  block->data = std::malloc(bytes ? bytes : 1);
  if (!block->data) {
    delete block;
    return nullptr;
  }
  // Movable memory is not zeroed; a pattern shows up code that assumes it is.
  std::memset(block->data, 0xCD, bytes);
  record.blocks[block] = block;
  ++record.stats.liveBlocks;
  ++record.stats.allocations;
  return block;
}

void* MemLock(MemoryHandle handle) {
  Block* block = Find(handle);
  if (!block) return nullptr;
  if (Record().failLocks > 0) {
    --Record().failLocks;
    return nullptr;
  }
  ++block->locks;
  ++Record().stats.outstandingLocks;
  return block->data;
}

void MemUnlock(MemoryHandle handle) {
  Block* block = Find(handle);
  if (!block || block->locks == 0) return;
  --block->locks;
  --Record().stats.outstandingLocks;
}

void MemFree(MemoryHandle handle) {
  Block* block = Find(handle);
  if (!block) return;
  MemoryRecord& record = Record();
  record.stats.outstandingLocks -= block->locks;
  record.blocks.erase(handle);
  std::free(block->data);
  delete block;
  --record.stats.liveBlocks;
  ++record.stats.frees;
}

std::size_t MemSize(MemoryHandle handle) {
  Block* block = Find(handle);
  return block ? block->size : 0;
}

namespace host {

MemoryStats GetMemoryStats() {
  return Record().stats;
}

void FailAllocations(int count) {
  Record().failNext = count;
}

void FailAllocationsAbove(std::size_t bytes) {
  Record().failAbove = bytes;
}

void FailLocks(int count) {
  Record().failLocks = count;
}

bool IsLiveBlock(MemoryHandle block) {
  return Find(block) != nullptr;
}

int LockCount(MemoryHandle handle) {
  Block* block = Find(handle);
  return block ? block->locks : 0;
}

void ResetMemory() {
  MemoryRecord& record = Record();
  for (auto& [handle, block] : record.blocks) {
    std::free(block->data);
    delete block;
  }
  record = MemoryRecord{};
}

}  // namespace host
}  // namespace platform
