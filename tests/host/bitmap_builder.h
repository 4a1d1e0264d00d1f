// Packed bitmaps built byte by byte for tests, as a Source or a file would
// hand them over, and copies into and out of memory blocks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/dib.h"
#include "platform/memory.h"

namespace test {

struct BitmapSpec {
  std::uint32_t headerSize = 40;
  std::int32_t width = 1;
  std::int32_t height = 1;  // negative: top-down
  std::uint16_t bits = 8;
  std::uint32_t compression = 0;
  std::uint32_t clrUsed = 0;
  std::uint32_t tableEntries = 0;  // entries actually written
  std::size_t pixelBytes = 0;      // pixel bytes actually written
};

// Table entry i is red 3i, green 5i, blue 7i (mod 256); pixel byte k is k * 13 + 1.
inline std::vector<unsigned char> PackedBitmap(const BitmapSpec& shape) {
  // Room for the fields even when the size field lies.
  std::vector<unsigned char> bytes(shape.headerSize == 12 ? 12 : std::max(shape.headerSize, 40u), 0);
  auto put = [&](std::size_t offset, auto value) {
    std::memcpy(bytes.data() + offset, &value, sizeof(value));
  };
  put(0, shape.headerSize);
  if (shape.headerSize == 12) {
    put(4, static_cast<std::uint16_t>(shape.width) | shape.height << 16);
    put(8, std::uint32_t{1} | std::uint32_t{shape.bits} << 16);
  } else {
    put(4, shape.width);
    put(8, shape.height);
    put(12, std::uint32_t{1} | std::uint32_t{shape.bits} << 16);
    put(16, shape.compression);
    put(32, shape.clrUsed);
  }
  const std::size_t entryBytes = shape.headerSize == 12 ? 3 : 4;
  for (std::uint32_t i = 0; i < shape.tableEntries; ++i) {
    const unsigned char entry[4] = {static_cast<unsigned char>(7 * i),
                                    static_cast<unsigned char>(5 * i),
                                    static_cast<unsigned char>(3 * i), 0};
    bytes.insert(bytes.end(), entry, entry + entryBytes);
  }
  for (std::size_t k = 0; k < shape.pixelBytes; ++k)
    bytes.push_back(static_cast<unsigned char>(k * 13 + 1));
  return bytes;
}

// The whole bitmap a shape describes: its default table and every row.
inline BitmapSpec Complete(BitmapSpec shape) {
  if (shape.tableEntries == 0) {
    shape.tableEntries = shape.clrUsed ? shape.clrUsed : shape.bits <= 8 ? 1u << shape.bits : 0;
  }
  if (shape.pixelBytes == 0) {
    const std::int64_t rows = shape.height < 0 ? -std::int64_t{shape.height} : shape.height;
    shape.pixelBytes = static_cast<std::size_t>(DIB_RowBytes(shape.bits, shape.width) * rows);
  }
  return shape;
}

// A block of exactly the bytes' size holding them.
inline DibHandle ToBlock(const std::vector<unsigned char>& bytes) {
  DibHandle block = platform::MemAlloc(bytes.size());
  platform::MemLockGuard lock(block);
  if (lock && !bytes.empty()) std::memcpy(lock.data(), bytes.data(), bytes.size());
  return block;
}

inline std::vector<unsigned char> BlockBytes(DibHandle block) {
  platform::MemLockGuard lock(block);
  if (!lock) return {};
  const auto* data = static_cast<const unsigned char*>(lock.data());
  return {data, data + platform::MemSize(block)};
}

}  // namespace test
