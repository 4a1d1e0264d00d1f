// Little-endian container bytes as a Source would write them, and blocks
// that hold exactly those bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "caps/container.h"
#include "platform/memory.h"

struct LeBytes {
  std::vector<std::uint8_t> bytes;

  LeBytes& U8(std::uint8_t v) { return Raw(&v, 1); }
  LeBytes& U16(std::uint16_t v) { return Raw(&v, 2); }
  LeBytes& U32(std::uint32_t v) { return Raw(&v, 4); }
  LeBytes& Raw(const void* data, std::size_t count) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + count);
    return *this;
  }
  operator std::vector<std::uint8_t>() const { return bytes; }
};

// A block of exactly these bytes, attached as the format.
inline ContainerHandle* AttachBytes(int format, const std::vector<std::uint8_t>& bytes) {
  platform::MemoryHandle block = platform::MemAlloc(bytes.size());
  if (platform::MemLockGuard lock(block); lock && !bytes.empty()) {
    std::memcpy(lock.data(), bytes.data(), bytes.size());
  }
  return CONTAINER_Attach(format, block);
}

// The container's block as it stands.
inline std::vector<std::uint8_t> BlockBytes(const ContainerHandle* h) {
  const auto* p = static_cast<const std::uint8_t*>(h->data);
  return std::vector<std::uint8_t>(p, p + h->size);
}
