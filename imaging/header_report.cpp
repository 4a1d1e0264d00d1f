#include "imaging/header_report.h"

#include <cstdio>
#include <cstring>

#include "imaging/dib_image.h"
#include "platform/memory.h"

namespace {

struct CompressionText {
  std::uint32_t code;
  const char* name;
};
constexpr CompressionText kCompressionNames[] = {
    {kBiRgb, "BI_RGB (uncompressed)"},
    {kBiRle8, "BI_RLE8 (run-length encoding)"},
    {kBiRle4, "BI_RLE4 (run-length encoding)"},
    {kBiBitfields, "BI_BITFIELDS (uncompressed but bit-packed)"},
};

struct CheckText {
  DibCheck check;
  const char* text;
};
constexpr CheckText kCheckTexts[] = {
    {DibCheck::kNoBlock, "the handle names no memory block that can be locked"},
    {DibCheck::kShortHeader, "the block (%zu bytes) ends inside the bitmap header"},
    {DibCheck::kUnknownHeader, "biSize is not the length of a known bitmap header"},
    {DibCheck::kBadDimensions, "the header's width or height is out of range"},
    {DibCheck::kBadDepth, "the header's bit count is not allowed with its compression"},
    {DibCheck::kTableOutside, "the colour table reaches past the end of the block (%zu bytes)"},
    {DibCheck::kPixelsOutside,
     "the header describes more pixel data than the block (%zu bytes) holds"},
};

}  // namespace

std::string CompressionName(std::uint32_t compression) {
  for (const CompressionText& entry : kCompressionNames) {
    if (entry.code == compression) return entry.name;
  }
  char text[40];
  std::snprintf(text, sizeof(text), "%u - unknown format", compression);
  return text;
}

std::string HeaderReport(DibHandle handle) {
  // The header is reported as the Source wrote it, even when the rest of the
  // block does not match it, so every field is read within the block only.
  platform::MemLockGuard lock(handle);
  DibLayout fields;
  std::uint32_t headerSize = 0;
  const std::size_t size = lock ? platform::MemSize(handle) : 0;
  if (size >= sizeof(headerSize)) std::memcpy(&headerSize, lock.data(), sizeof(headerSize));
  DIB_ReadHeader(lock.data(), size, &fields);
  char text[1024];
  std::snprintf(text, sizeof(text),
                "\r\n Header Size  = %u bytes\r\n Header Type  = %s\r\n Width        = %d "
                "pixels\r\n Height       = %d pixels\r\n Planes       = %u\r\n Depth        = %d "
                "bits/pixel\r\n Compression  = %s\r\n Image Size   = %u bytes\r\n X Resolution = "
                "%d pixels/m (%g DPI)\r\n Y Resolution = %d pixels/m (%g DPI)\r\n Color Table:   "
                "%d entries\r\n",
                headerSize, DIB_HeaderKindName(headerSize), fields.width, fields.height,
                unsigned{fields.planes}, int{fields.depth},
                CompressionName(fields.compression).c_str(), fields.sizeImage, fields.xPelsPerMeter,
                DIB_DotsPerInch(fields.xPelsPerMeter), fields.yPelsPerMeter,
                DIB_DotsPerInch(fields.yPelsPerMeter), static_cast<int>(fields.colorCount));
  return text;
}

std::string BitmapBlockNote(DibHandle handle) {
  DibLayout layout;
  const DibCheck check = DIB_CheckBlock(handle, &layout);
  if (check == DibCheck::kOk && !layout.Drawable()) {
    return "its compression (" + CompressionName(layout.compression) + ") cannot be drawn";
  }
  for (const CheckText& entry : kCheckTexts) {
    if (entry.check != check) continue;
    char text[160];
    std::snprintf(text, sizeof(text), entry.text, platform::MemSize(handle));
    return text;
  }
  return {};
}
