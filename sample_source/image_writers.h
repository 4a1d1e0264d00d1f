// The test chart as the three transfers hand it over: a packed bitmap in a
// movable block (native), rows into the application's buffer (memory), and
// BMP or JFIF files (file).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/dib.h"
#include "platform/handles.h"
#include "platform/memory.h"
#include "sample_source/container_io.h"
#include "sample_source/device_settings.h"

namespace sample {

#pragma pack(push, 2)
struct BitmapFileHeader {
  char bfType[2];
  std::uint32_t bfSize;
  std::uint16_t bfReserved1;
  std::uint16_t bfReserved2;
  std::uint32_t bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BitmapFileHeader) == 14);

// Header, colour table and bottom-up rows padded to four bytes.
std::size_t DibSize(const ImageGeometry& geometry);
void WriteDib(const ImageGeometry& geometry, int page, std::uint8_t* out);
// A fresh movable block holding the bitmap; null when it cannot be allocated.
platform::MemoryHandle MakeNativeImage(const ImageGeometry& geometry, int page);

// Rows [firstRow, firstRow + rows) top-down, red first, each `stride` bytes
// apart (at least the packed row), padding zeroed.
void RenderRows(const ImageGeometry& geometry, int page, int firstRow, int rows, std::size_t stride,
                std::uint8_t* out);

// The application's buffer of a memory transfer: a pointer, or a handle
// whose block bounds it as well as Length does. False when neither can be
// written (no memory named, or a handle that does not lock).
class AppStripBuffer {
 public:
  explicit AppStripBuffer(const TW_MEMORY& memory);
  explicit operator bool() const { return data_ != nullptr; }
  std::uint8_t* data() const { return data_; }
  std::size_t capacity() const { return capacity_; }

 private:
  platform::MemLockGuard lock_;
  std::uint8_t* data_ = nullptr;
  std::size_t capacity_ = 0;
};

Bytes MakeBmpFile(const ImageGeometry& geometry, int page);
// 8-bit gray or 24-bit colour only (see JfifAllowed).
Bytes MakeJfifFile(const ImageGeometry& geometry, int page);
bool WriteWholeFile(const std::string& path, const Bytes& bytes);

}  // namespace sample
