#include "sample_source/image_writers.h"

#include <algorithm>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/memory.h"
#include "sample_source/jpeg_writer.h"
#include "sample_source/test_chart.h"

namespace sample {

AppStripBuffer::AppStripBuffer(const TW_MEMORY& memory)
    : lock_(memory.Flags & TWMF_HANDLE ? memory.TheMem : nullptr) {
  if (!memory.TheMem) return;
  if (memory.Flags & TWMF_HANDLE) {
    if (!lock_) return;
    data_ = static_cast<std::uint8_t*>(lock_.data());
    capacity_ = std::min<std::size_t>(memory.Length, platform::MemSize(memory.TheMem));
  } else {
    data_ = static_cast<std::uint8_t*>(memory.TheMem);
    capacity_ = memory.Length;
  }
}
namespace {

std::int32_t PixelsPerMeter(double dpi) {
  return static_cast<std::int32_t>(std::lround(dpi / 0.0254));
}

std::size_t ColourTableBytes(const ImageGeometry& g) {
  return static_cast<std::size_t>(PaletteFor(g.pixelType, g.bitsPerPixel).count) * 4;
}

}  // namespace

std::size_t DibSize(const ImageGeometry& g) {
  return sizeof(BitmapInfoHeader) + ColourTableBytes(g) +
         PaddedRowBytes(g.width, g.bitsPerPixel) * static_cast<std::size_t>(g.height);
}

void WriteDib(const ImageGeometry& g, int page, std::uint8_t* out) {
  PixelPacker packer(g, true);
  const Palette& palette = packer.palette();
  const std::size_t rowBytes = PaddedRowBytes(g.width, g.bitsPerPixel);
  BitmapInfoHeader header{};
  header.biSize = sizeof(header);
  header.biWidth = g.width;
  header.biHeight = g.height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<std::uint16_t>(g.bitsPerPixel);
  header.biCompression = 0;
  header.biSizeImage = static_cast<std::uint32_t>(rowBytes * g.height);
  header.biXPelsPerMeter = PixelsPerMeter(g.xDpi);
  header.biYPelsPerMeter = PixelsPerMeter(g.yDpi);
  header.biClrUsed = static_cast<std::uint32_t>(palette.count);
  header.biClrImportant = 0;
  std::memcpy(out, &header, sizeof(header));
  std::uint8_t* at = out + sizeof(header);
  for (int i = 0; i < palette.count; ++i) {
    const Rgb& c = palette.colours[i];
    const std::uint8_t quad[4] = {c.b, c.g, c.r, 0};
    std::memcpy(at, quad, 4);
    at += 4;
  }
  std::vector<Rgb> chart(g.width);
  for (int y = 0; y < g.height; ++y) {
    RenderChartRow(g.width, g.height, page, y, chart.data());
    std::uint8_t* row = at + static_cast<std::size_t>(g.height - 1 - y) * rowBytes;
    std::memset(row, 0, rowBytes);
    packer.Pack(chart.data(), row);
  }
}

platform::MemoryHandle MakeNativeImage(const ImageGeometry& g, int page) {
  const std::size_t size = DibSize(g);
  platform::MemoryHandle block = platform::MemAlloc(size);
  if (!block) return nullptr;
  {
    platform::MemLockGuard lock(block);
    if (lock) {
      WriteDib(g, page, static_cast<std::uint8_t*>(lock.data()));
      return block;
    }
  }
  platform::MemFree(block);
  return nullptr;
}

void RenderRows(const ImageGeometry& g, int page, int firstRow, int rows, std::size_t stride,
                std::uint8_t* out) {
  PixelPacker packer(g, false);
  std::vector<Rgb> chart(g.width);
  for (int i = 0; i < rows; ++i) {
    std::uint8_t* row = out + static_cast<std::size_t>(i) * stride;
    std::memset(row, 0, stride);
    RenderChartRow(g.width, g.height, page, firstRow + i, chart.data());
    packer.Pack(chart.data(), row);
  }
}

Bytes MakeBmpFile(const ImageGeometry& g, int page) {
  const std::size_t dibSize = DibSize(g);
  Bytes file(sizeof(BitmapFileHeader) + dibSize);
  BitmapFileHeader header{
      {'B', 'M'},
      static_cast<std::uint32_t>(file.size()),
      0,
      0,
      static_cast<std::uint32_t>(sizeof(BitmapFileHeader) + sizeof(BitmapInfoHeader) +
                                 ColourTableBytes(g))};
  std::memcpy(file.data(), &header, sizeof(header));
  WriteDib(g, page, file.data() + sizeof(header));
  return file;
}

Bytes MakeJfifFile(const ImageGeometry& g, int page) {
  const bool colour = g.pixelType == TWPT_RGB;
  JpegImage image{g.width, g.height, colour ? 3 : 1, static_cast<int>(std::lround(g.xDpi)),
                  static_cast<int>(std::lround(g.yDpi))};
  std::vector<Rgb> chart(g.width);
  return EncodeJpeg(image, [&](int y, std::uint8_t* out) {
    RenderChartRow(g.width, g.height, page, y, chart.data());
    for (int x = 0; x < g.width; ++x) {
      if (colour) {
        out[3 * x] = chart[x].r;
        out[3 * x + 1] = chart[x].g;
        out[3 * x + 2] = chart[x].b;
      } else {
        out[x] = Luminance(chart[x]);
      }
    }
  });
}

bool WriteWholeFile(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace sample
