#include "imaging/dib.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>

#include "imaging/dib_shrink.h"
#include "platform/memory.h"

namespace {

template <class T>
T ReadAt(const void* block, std::size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(block) + offset, sizeof(T));
  return value;
}

// Header lengths whose first 40 bytes are a BITMAPINFOHEADER (V2, V3 and
// OS/2 2.x carry masks or extra fields after them), and the core header.
constexpr std::uint32_t kKnownHeaderSizes[] = {
    kCoreHeaderSize, kInfoHeaderSize, 52, 56, 64, kV4HeaderSize, 124};

// Bit counts each compression allows; an empty list allows any (the data is
// only reported, never interpreted).
struct CompressionDepths {
  std::uint32_t compression;
  std::uint16_t depths[8];
};
constexpr CompressionDepths kDepthRules[] = {
    {kBiRgb, {1, 4, 8, 16, 24, 32, 48}},
    {kBiRle8, {8}},
    {kBiRle4, {4}},
    {kBiBitfields, {16, 32}},
};

bool DepthAllowed(std::uint32_t compression, std::uint16_t depth) {
  for (const CompressionDepths& rule : kDepthRules) {
    if (rule.compression != compression) continue;
    return depth != 0 && std::find(std::begin(rule.depths), std::end(rule.depths), depth) !=
                             std::end(rule.depths);
  }
  return true;
}

bool KnownHeaderSize(std::uint32_t size) {
  return std::find(std::begin(kKnownHeaderSizes), std::end(kKnownHeaderSizes), size) !=
         std::end(kKnownHeaderSizes);
}

// Three masks follow a 40-byte header when the rows are bit fields.
constexpr std::size_t kMaskBytes = 12;

void ReadHeaderFields(const void* block, std::uint32_t headerSize, DibLayout& layout) {
  layout.headerSize = headerSize;
  if (headerSize == kCoreHeaderSize) {
    BitmapCoreHeader core = ReadAt<BitmapCoreHeader>(block, 0);
    layout.core = true;
    layout.width = core.bcWidth;
    layout.height = core.bcHeight;
    layout.planes = core.bcPlanes;
    layout.depth = core.bcBitCount;
    layout.colorEntryBytes = 3;
  } else {
    BitmapInfoHeader info = ReadAt<BitmapInfoHeader>(block, 0);
    layout.width = info.biWidth;
    layout.topDown = info.biHeight <= 0;
    layout.height = info.biHeight == std::numeric_limits<std::int32_t>::min()
                        ? info.biHeight
                        : std::abs(info.biHeight);
    layout.planes = info.biPlanes;
    layout.depth = info.biBitCount;
    layout.compression = info.biCompression;
    layout.sizeImage = info.biSizeImage;
    layout.xPelsPerMeter = info.biXPelsPerMeter;
    layout.yPelsPerMeter = info.biYPelsPerMeter;
  }
  layout.colorCount = DIB_ColorCount(block);
}

// The 40-byte header and full colour table handed to the renderer, so that
// no pixel value can index past a table and every header kind draws alike.
struct RendererInfo {
  BitmapInfoHeader header;
  RgbQuad colors[256];
};

bool BuildRendererInfo(const void* block, const DibLayout& layout, RendererInfo& out,
                       platform::DibPicture& picture) {
  if (!layout.Drawable()) return false;
  std::memset(&out, 0, sizeof(out));
  BitmapInfoHeader& h = out.header;
  h.biSize = kInfoHeaderSize;
  h.biWidth = layout.width;
  h.biHeight = layout.topDown ? -layout.height : layout.height;
  h.biPlanes = 1;
  h.biBitCount = layout.depth;
  h.biCompression = layout.compression;
  h.biSizeImage = static_cast<std::uint32_t>(
      std::min<std::size_t>(layout.pixelBytes, std::numeric_limits<std::uint32_t>::max()));
  h.biXPelsPerMeter = layout.xPelsPerMeter;
  h.biYPelsPerMeter = layout.yPelsPerMeter;
  std::size_t entries = 0;
  if (layout.compression == kBiBitfields) {
    // The masks follow a 40-byte header, or sit inside a longer one.
    std::memcpy(out.colors, static_cast<const unsigned char*>(block) + kInfoHeaderSize, kMaskBytes);
    entries = kMaskBytes / sizeof(RgbQuad);
  } else if (layout.depth <= 8) {
    entries = std::size_t{1} << layout.depth;
    for (std::uint32_t i = 0; i < entries && i < layout.colorCount; ++i) {
      std::uint32_t packed = DIB_LayoutColor(block, layout, i);
      out.colors[i] = {static_cast<std::uint8_t>(packed >> 16),
                       static_cast<std::uint8_t>(packed >> 8), static_cast<std::uint8_t>(packed),
                       0};
    }
    h.biClrUsed = static_cast<std::uint32_t>(entries);
  }
  picture.info = &out;
  picture.infoBytes = sizeof(BitmapInfoHeader) + entries * sizeof(RgbQuad);
  picture.bits = static_cast<const unsigned char*>(block) + layout.pixelOffset;
  picture.bitsBytes = layout.pixelBytes;
  return true;
}

// One lock on a handle's block and the check of its layout, for one call.
class LockedDib {
 public:
  explicit LockedDib(DibHandle handle) : guard_(handle) {
    check_ = guard_ ? DIB_CheckLayout(guard_.data(), platform::MemSize(handle), &layout_)
                    : DibCheck::kNoBlock;
  }
  bool ok() const { return check_ == DibCheck::kOk; }
  DibCheck check() const { return check_; }
  unsigned char* data() const { return static_cast<unsigned char*>(guard_.data()); }
  const DibLayout& layout() const { return layout_; }

 private:
  platform::MemLockGuard guard_;
  DibLayout layout_;
  DibCheck check_;
};

std::int32_t PelsPerMeter(double dotsPerInch) {
  const double value = std::trunc(dotsPerInch * 39.37007874015748 + 0.5);
  if (!(value > std::numeric_limits<std::int32_t>::min())) return value < 0 ? INT32_MIN : 0;
  if (value > std::numeric_limits<std::int32_t>::max()) return INT32_MAX;
  return static_cast<std::int32_t>(value);
}

int NormalisedDepth(int depth) {
  if (depth == 16 || depth == 48) return depth;
  if (depth > 8) return 24;
  if (depth >= 5) return 8;
  if (depth >= 2) return 4;
  return 1;
}

}  // namespace

std::uint64_t DIB_RowBytes(int bits, int width) {
  // Negative widths and depths have no bytes.
  const auto w = static_cast<std::uint64_t>(std::max(width, 0));
  const auto b = static_cast<std::uint64_t>(std::max(bits, 0));
  return (w * b + 31) / 32 * 4;
}

std::uint32_t DIB_TableEntries(int depth) {
  return depth >= 1 && depth <= 8 ? 1u << depth : 0;
}

std::uint32_t DIB_ColorCount(const void* header) {
  const auto size = ReadAt<std::uint32_t>(header, 0);
  if (size == kCoreHeaderSize) {
    // A core header's table exists only up to 8 bits: 2^24 entries would not.
    const auto bits = ReadAt<std::uint16_t>(header, 10);
    return bits <= 8 ? 1u << bits : 0;
  }
  const auto info = ReadAt<BitmapInfoHeader>(header, 0);
  if (info.biClrUsed != 0) return info.biClrUsed;
  return info.biBitCount < 9 ? 1u << info.biBitCount : 0;
}

void DIB_FillGrayRamp(RgbQuad* table, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i) {
    const auto level = static_cast<std::uint8_t>(n > 1 ? i * 255 / (n - 1) : 0);
    table[i] = {level, level, level, 0};
  }
}

DibCheck DIB_CheckLayout(const void* block, std::size_t size, DibLayout* out) {
  if (!block) return DibCheck::kNoBlock;
  if (size < sizeof(std::uint32_t)) return DibCheck::kShortHeader;
  const auto headerSize = ReadAt<std::uint32_t>(block, 0);
  if (!KnownHeaderSize(headerSize)) return DibCheck::kUnknownHeader;
  if (size < headerSize) return DibCheck::kShortHeader;

  DibLayout layout;
  ReadHeaderFields(block, headerSize, layout);
  if (layout.width < 0 || layout.height < 0) return DibCheck::kBadDimensions;
  if (!DepthAllowed(layout.compression, layout.depth)) return DibCheck::kBadDepth;

  std::uint64_t tableOffset = headerSize;
  if (layout.compression == kBiBitfields && headerSize == kInfoHeaderSize)
    tableOffset += kMaskBytes;
  const std::uint64_t tableEnd =
      tableOffset + std::uint64_t{layout.colorCount} * layout.colorEntryBytes;
  if (tableEnd > size) return DibCheck::kTableOutside;
  layout.colorTableOffset = static_cast<std::size_t>(tableOffset);
  layout.pixelOffset = static_cast<std::size_t>(tableEnd);

  const std::size_t room = size - layout.pixelOffset;
  const std::uint64_t rowBytes = DIB_RowBytes(layout.depth, layout.width);
  if (!platform::FitsAddressSpace(rowBytes)) return DibCheck::kBadDimensions;
  layout.rowBytes = static_cast<std::size_t>(rowBytes);
  if (layout.HasRows()) {
    const auto rows = static_cast<std::size_t>(layout.height);
    if (rows != 0 && layout.rowBytes > room / rows) return DibCheck::kPixelsOutside;
    layout.pixelBytes = layout.rowBytes * rows;
  } else {
    // Compressed data is as long as biSizeImage says (0: the rest of the block).
    if (layout.sizeImage > room) return DibCheck::kPixelsOutside;
    layout.pixelBytes = layout.sizeImage != 0 ? layout.sizeImage : room;
  }
  if (out) *out = layout;
  return DibCheck::kOk;
}

bool DIB_ReadHeader(const void* block, std::size_t size, DibLayout* layout) {
  if (!block || size < sizeof(std::uint32_t) || !layout) return false;
  const auto headerSize = ReadAt<std::uint32_t>(block, 0);
  if (!KnownHeaderSize(headerSize) || size < headerSize) return false;
  *layout = DibLayout{};
  ReadHeaderFields(block, headerSize, *layout);
  return true;
}

DibCheck DIB_CheckBlock(DibHandle handle, DibLayout* layout) {
  LockedDib dib(handle);
  if (dib.ok() && layout) *layout = dib.layout();
  return dib.check();
}

unsigned char* DIB_LayoutRow(void* block, const DibLayout& layout, int row) {
  if (!block || !layout.HasRows() || row < 0 || row >= layout.height) return nullptr;
  const auto index = static_cast<std::size_t>(layout.topDown ? row : layout.height - 1 - row);
  return static_cast<unsigned char*>(block) + layout.pixelOffset + layout.rowBytes * index;
}

std::uint32_t DIB_LayoutColor(const void* block, const DibLayout& layout, std::uint32_t i) {
  if (!block || i >= layout.colorCount) return 0;
  const auto* entry = static_cast<const unsigned char*>(block) + layout.colorTableOffset +
                      std::size_t{i} * layout.colorEntryBytes;
  return entry[2] | entry[1] << 8 | std::uint32_t{entry[0]} << 16;
}

bool DIB_LayoutSetColor(void* block, const DibLayout& layout, std::uint32_t i, std::uint8_t red,
                        std::uint8_t green, std::uint8_t blue) {
  if (!block || i >= layout.colorCount) return false;
  auto* entry = static_cast<unsigned char*>(block) + layout.colorTableOffset +
                std::size_t{i} * layout.colorEntryBytes;
  entry[0] = blue;
  entry[1] = green;
  entry[2] = red;
  return true;
}

bool DIB_DrawLayout(const void* block, const DibLayout& layout, platform::DeviceContext context,
                    const platform::DrawRect& destination, int sourceX, int sourceY) {
  // The source rectangle is kept inside the bitmap.
  if (!block || sourceX < 0 || sourceY < 0 || sourceX >= layout.width || sourceY >= layout.height) {
    return false;
  }
  RendererInfo info;
  platform::DibPicture picture;
  if (!BuildRendererInfo(block, layout, info, picture)) return false;
  const platform::DrawRect source{sourceX, sourceY, layout.width - sourceX,
                                  layout.height - sourceY};
  // Scaled down by our own box filter and drawn 1:1: systems that stretch by
  // dropping pixels (Wine's HALFTONE among them) darken pictures and blacken
  // fine patterns.
  const bool shrinking = destination.width < source.width || destination.height < source.height;
  const std::unique_ptr<std::uint32_t[]> shrunk =
      shrinking ? DIB_ShrinkLayout(block, layout, source, destination.width, destination.height)
                : nullptr;
  if (shrunk) {
    const BitmapInfoHeader header{
        kInfoHeaderSize, destination.width, destination.height, 1, 32, kBiRgb, 0, 0, 0, 0, 0};
    const platform::DibPicture reduced{
        &header, sizeof(header), shrunk.get(),
        std::size_t(destination.width) * std::size_t(destination.height) * sizeof(std::uint32_t)};
    return platform::DrawDibScaled(context, reduced, destination,
                                   {0, 0, destination.width, destination.height});
  }
  return platform::DrawDibScaled(context, picture, destination, source);
}

unsigned DIB_RealizeLayout(const void* block, const DibLayout& layout,
                           platform::DeviceContext context) {
  RendererInfo info;
  platform::DibPicture picture;
  if (!block || !BuildRendererInfo(block, layout, info, picture)) return 0;
  return platform::RealizeDibPalette(context, picture);
}

DibHandle DIB_Allocate(int depth, int width, int height, std::uint32_t colors,
                       std::int32_t xPelsPerMeter, std::int32_t yPelsPerMeter) {
  if (depth < 0 || depth > 0xFFFF || width < 0 || height == std::numeric_limits<int>::min()) {
    return nullptr;
  }
  const auto rows = static_cast<std::uint64_t>(std::abs(height));
  const std::uint64_t rowBytes = DIB_RowBytes(depth, width);
  const std::uint64_t fixed = kInfoHeaderSize + std::uint64_t{colors} * sizeof(RgbQuad);
  const std::uint64_t limit = std::numeric_limits<std::size_t>::max() - fixed;
  if (!platform::FitsAddressSpace(fixed) || (rows != 0 && rowBytes > limit / rows)) {
    return nullptr;
  }
  const std::uint64_t imageBytes = rowBytes * rows;

  DibHandle handle = platform::MemAlloc(static_cast<std::size_t>(imageBytes + fixed));
  if (!handle) return nullptr;
  {
    platform::MemLockGuard lock(handle);
    if (lock) {
      BitmapInfoHeader header{};
      header.biSize = kInfoHeaderSize;
      header.biWidth = width;
      header.biHeight = height;
      header.biPlanes = 1;
      header.biBitCount = static_cast<std::uint16_t>(depth);
      header.biCompression = kBiRgb;
      header.biSizeImage = static_cast<std::uint32_t>(
          std::min<std::uint64_t>(imageBytes, std::numeric_limits<std::uint32_t>::max()));
      header.biXPelsPerMeter = xPelsPerMeter;
      header.biYPelsPerMeter = yPelsPerMeter;
      std::memcpy(lock.data(), &header, sizeof(header));
      DIB_FillGrayRamp(
          reinterpret_cast<RgbQuad*>(static_cast<unsigned char*>(lock.data()) + kInfoHeaderSize),
          colors);
      return handle;
    }
  }
  platform::MemFree(handle);
  return nullptr;
}

DibHandle DIB_Create(int depth, int width, int height) {
  // Depths below 1 have no bitmap (depth 0 would ask for a one-entry ramp).
  if (depth < 1 || height == std::numeric_limits<int>::min()) return nullptr;
  depth = NormalisedDepth(depth);
  return DIB_Allocate(depth, width, std::abs(height), DIB_TableEntries(depth), 0, 0);
}

DibHandle DIB_CreateTopDown(int depth, int width, int rows) {
  if (depth < 1 || rows < 0) return nullptr;
  depth = NormalisedDepth(depth);
  return DIB_Allocate(depth, width, -rows, DIB_TableEntries(depth), 0, 0);
}

DibHandle DIB_GrowRows(DibHandle handle, int rows) {
  DibHandle grown = nullptr;
  {
    LockedDib dib(handle);
    const DibLayout& layout = dib.layout();
    if (!dib.ok() || layout.headerSize != kInfoHeaderSize || !layout.topDown ||
        layout.compression != kBiRgb || rows <= layout.height) {
      return nullptr;
    }
    const std::uint64_t room = std::numeric_limits<std::size_t>::max() - layout.pixelOffset;
    if (layout.rowBytes != 0 && static_cast<std::uint64_t>(rows) > room / layout.rowBytes) {
      return nullptr;
    }
    const std::uint64_t pixelBytes = std::uint64_t{layout.rowBytes} * static_cast<unsigned>(rows);
    grown = platform::MemAlloc(static_cast<std::size_t>(layout.pixelOffset + pixelBytes));
    platform::MemLockGuard target(grown);
    if (!target) {
      platform::MemFree(grown);
      return nullptr;
    }
    std::memcpy(target.data(), dib.data(), layout.pixelOffset + layout.pixelBytes);
    const std::int32_t height = -rows;
    const auto sizeImage = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(pixelBytes, std::numeric_limits<std::uint32_t>::max()));
    auto* bytes = static_cast<unsigned char*>(target.data());
    std::memcpy(bytes + offsetof(BitmapInfoHeader, biHeight), &height, sizeof(height));
    std::memcpy(bytes + offsetof(BitmapInfoHeader, biSizeImage), &sizeImage, sizeof(sizeImage));
  }
  platform::MemFree(handle);
  return grown;
}

bool DIB_TrimRows(DibHandle handle, int rows) {
  LockedDib dib(handle);
  const DibLayout& layout = dib.layout();
  if (!dib.ok() || layout.core || !layout.topDown || !layout.HasRows() || rows < 0 ||
      rows > layout.height) {
    return false;
  }
  const std::int32_t height = -rows;
  const auto sizeImage = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(std::uint64_t{layout.rowBytes} * static_cast<unsigned>(rows),
                              std::numeric_limits<std::uint32_t>::max()));
  std::memcpy(dib.data() + offsetof(BitmapInfoHeader, biHeight), &height, sizeof(height));
  std::memcpy(dib.data() + offsetof(BitmapInfoHeader, biSizeImage), &sizeImage, sizeof(sizeImage));
  return true;
}

std::uint16_t DIB_Depth(DibHandle handle) {
  LockedDib dib(handle);
  return dib.ok() ? dib.layout().depth : 0;
}

void DIB_SetResolution(DibHandle handle, double xDpi, double yDpi) {
  LockedDib dib(handle);
  if (!dib.ok() || dib.layout().core) return;
  const std::int32_t x = PelsPerMeter(xDpi);
  const std::int32_t y = PelsPerMeter(yDpi);
  std::memcpy(dib.data() + offsetof(BitmapInfoHeader, biXPelsPerMeter), &x, sizeof(x));
  std::memcpy(dib.data() + offsetof(BitmapInfoHeader, biYPelsPerMeter), &y, sizeof(y));
}

bool DIB_WriteRow(DibHandle handle, int row, const void* source, std::size_t sourceBytes) {
  LockedDib dib(handle);
  unsigned char* target = dib.ok() ? DIB_LayoutRow(dib.data(), dib.layout(), row) : nullptr;
  if (!target || !source) return false;
  std::memcpy(target, source, std::min(dib.layout().rowBytes, sourceBytes));
  return true;
}

void DIB_SwapRedBlue(DibHandle handle) {
  LockedDib dib(handle);
  if (!dib.ok() || dib.layout().depth != 24 || !dib.layout().HasRows() || dib.layout().width == 0) {
    return;
  }
  const DibLayout& layout = dib.layout();
  for (int row = 0; row < layout.height; ++row) {
    unsigned char* pixel = DIB_LayoutRow(dib.data(), layout, row);
    for (int column = 0; column < layout.width; ++column, pixel += 3) std::swap(pixel[0], pixel[2]);
  }
}

bool DIB_Draw(DibHandle handle, platform::DeviceContext context, int x, int y, int width,
              int height, int sourceX, int sourceY) {
  LockedDib dib(handle);
  if (!dib.ok()) return false;
  return DIB_DrawLayout(dib.data(), dib.layout(), context, {x, y, width, height}, sourceX, sourceY);
}
