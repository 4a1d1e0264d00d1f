#include "imaging/bitmap_file.h"

#include <cstring>
#include <limits>

#include "platform/memory.h"

namespace {

constexpr std::size_t kFileHeaderSize = 14;

void Put(std::vector<unsigned char>& bytes, std::size_t offset, std::uint32_t value) {
  std::memcpy(bytes.data() + offset, &value, sizeof(value));
}

}  // namespace

std::vector<unsigned char> BitmapFileBytes(DibHandle handle) {
  platform::MemLockGuard lock(handle);
  DibLayout layout;
  if (!lock || DIB_CheckLayout(lock.data(), platform::MemSize(handle), &layout) != DibCheck::kOk)
    return {};
  const std::size_t packed = layout.pixelOffset + layout.pixelBytes;
  if (packed > std::numeric_limits<std::uint32_t>::max() - kFileHeaderSize) return {};
  std::vector<unsigned char> bytes(kFileHeaderSize + packed);
  bytes[0] = 'B';
  bytes[1] = 'M';
  Put(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
  Put(bytes, 10, static_cast<std::uint32_t>(kFileHeaderSize + layout.pixelOffset));
  std::memcpy(bytes.data() + kFileHeaderSize, lock.data(), packed);
  return bytes;
}

bool DIB_TopDownPicture(DibHandle handle, TopDownPicture& picture) {
  platform::MemLockGuard lock(handle);
  DibLayout layout;
  if (!lock || DIB_CheckLayout(lock.data(), platform::MemSize(handle), &layout) != DibCheck::kOk ||
      layout.compression != kBiRgb ||
      (layout.depth != 1 && layout.depth != 4 && layout.depth != 8 && layout.depth != 24))
    return false;
  picture.width = layout.width;
  picture.height = layout.height;
  picture.depth = layout.depth;
  picture.stride = layout.rowBytes;
  picture.rows.resize(layout.pixelBytes);
  for (int row = 0; row < layout.height; ++row) {
    std::memcpy(picture.rows.data() + layout.rowBytes * static_cast<std::size_t>(row),
                DIB_LayoutRow(lock.data(), layout, row), layout.rowBytes);
  }
  picture.table.clear();
  for (std::uint32_t i = 0; i < layout.colorCount && i < 256; ++i)
    picture.table.push_back(DIB_LayoutColor(lock.data(), layout, i));
  return true;
}
