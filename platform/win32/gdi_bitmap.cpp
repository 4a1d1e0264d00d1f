#include "platform/gdi_bitmap.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "platform/memory.h"

namespace platform {
namespace {

MemoryHandle ReadBitmap(HBITMAP bitmap) {
  BITMAP shape{};
  if (GetObjectA(bitmap, sizeof(shape), &shape) != sizeof(shape) || shape.bmWidth <= 0 ||
      shape.bmHeight <= 0) {
    return nullptr;
  }
  int depth = shape.bmBitsPixel * shape.bmPlanes;
  if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) {
    depth = 24;
  }
  const std::uint64_t colours = depth <= 8 ? std::uint64_t{1} << depth : 0;
  // At 16 and 32 bits GetDIBits may answer BI_BITFIELDS and write three
  // masks after the header.
  const std::uint64_t tableRoom = depth <= 8 ? colours * 4 : 3 * 4;
  const std::uint64_t rowBytes = (std::uint64_t(shape.bmWidth) * depth + 31) / 32 * 4;
  const std::uint64_t pixelBytes = rowBytes * std::uint64_t(shape.bmHeight);
  const std::uint64_t total = sizeof(BITMAPINFOHEADER) + tableRoom + pixelBytes;
  if (pixelBytes > 0xFFFFFFFFu || !FitsAddressSpace(total)) return nullptr;
  MemoryHandle block = MemAlloc(static_cast<std::size_t>(total));
  if (!block) return nullptr;
  bool read = false;
  {
    MemLockGuard lock(block);
    if (lock) {
      auto* bytes = static_cast<std::uint8_t*>(lock.data());
      std::memset(bytes, 0, static_cast<std::size_t>(sizeof(BITMAPINFOHEADER) + tableRoom));
      auto* info = reinterpret_cast<BITMAPINFO*>(bytes);
      BITMAPINFOHEADER& header = info->bmiHeader;
      header.biSize = sizeof(BITMAPINFOHEADER);
      header.biWidth = shape.bmWidth;
      header.biHeight = shape.bmHeight;  // bottom-up, as the picture stands
      header.biPlanes = 1;
      header.biBitCount = static_cast<WORD>(depth);
      header.biCompression = BI_RGB;
      std::uint8_t* bits = bytes + sizeof(BITMAPINFOHEADER) + tableRoom;
      // Reading works while the Source still has the bitmap selected into its DC.
      HDC screen = GetDC(nullptr);
      read = GetDIBits(screen, bitmap, 0, static_cast<UINT>(shape.bmHeight), bits, info,
                       DIB_RGB_COLORS) == shape.bmHeight;
      ReleaseDC(nullptr, screen);
      if (read) {
        const std::uint64_t tableBytes =
            depth <= 8 ? colours * 4 : (header.biCompression == BI_BITFIELDS ? 3 * 4 : 0);
        if (tableBytes < tableRoom) {
          std::memmove(bytes + sizeof(BITMAPINFOHEADER) + tableBytes, bits,
                       static_cast<std::size_t>(pixelBytes));
        }
        header.biSizeImage = static_cast<DWORD>(pixelBytes);
        header.biClrUsed = static_cast<DWORD>(colours);
        header.biClrImportant = 0;
      }
    }
  }
  if (read) return block;
  MemFree(block);
  return nullptr;
}

}  // namespace

bool IsGdiBitmap(MemoryHandle handle) {
  return handle && GetObjectType(static_cast<HGDIOBJ>(handle)) == OBJ_BITMAP;
}

MemoryHandle TakeGdiBitmap(MemoryHandle handle) {
  auto bitmap = static_cast<HBITMAP>(handle);
  MemoryHandle dib = ReadBitmap(bitmap);
  DeleteObject(bitmap);
  return dib;
}

}  // namespace platform
