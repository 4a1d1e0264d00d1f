// Packed device-independent bitmaps in movable memory blocks: the header, its
// colour table and the padded pixel rows, with no gap between them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/dib_renderer.h"
#include "platform/handles.h"

// A packed bitmap in a movable block; null stands for no image.
using DibHandle = platform::MemoryHandle;

struct BitmapInfoHeader {
  std::uint32_t biSize;
  std::int32_t biWidth;
  std::int32_t biHeight;  // positive: rows bottom-up; zero or negative: top-down
  std::uint16_t biPlanes;
  std::uint16_t biBitCount;
  std::uint32_t biCompression;
  std::uint32_t biSizeImage;
  std::int32_t biXPelsPerMeter;
  std::int32_t biYPelsPerMeter;
  std::uint32_t biClrUsed;
  std::uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

struct BitmapCoreHeader {
  std::uint32_t bcSize;
  std::uint16_t bcWidth;
  std::uint16_t bcHeight;
  std::uint16_t bcPlanes;
  std::uint16_t bcBitCount;
};
static_assert(sizeof(BitmapCoreHeader) == 12);

struct RgbQuad {
  std::uint8_t blue;
  std::uint8_t green;
  std::uint8_t red;
  std::uint8_t reserved;
};
static_assert(sizeof(RgbQuad) == 4);

constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kV4HeaderSize = 108;

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;

// ((width x bits + 31) / 32) x 4; 0 for a negative argument.
std::uint64_t DIB_RowBytes(int bits, int width);
// Entries in the colour table a new bitmap of this depth gets: one per value
// from 1 to 8 bits, none otherwise.
std::uint32_t DIB_TableEntries(int depth);
// Colour-table entries of a header of at least biSize bytes: 2^bits for a core
// header up to 8 bits; else biClrUsed when not 0; else 2^bits below 9 bits, 0 above.
std::uint32_t DIB_ColorCount(const void* header);
// Fills n colour entries with the gray ramp: entry i is (i x 255) / (n - 1).
void DIB_FillGrayRamp(RgbQuad* table, std::uint32_t n);

// Why a block is not a bitmap this program can use.
enum class DibCheck {
  kOk,
  kNoBlock,        // null handle, or a block that cannot be locked
  kShortHeader,    // the block ends inside the header
  kUnknownHeader,  // biSize is none of the known header lengths
  kBadDimensions,  // negative width, or a height that has no absolute value
  kBadDepth,       // a bit count that its compression does not allow
  kTableOutside,   // the colour table reaches past the block
  kPixelsOutside,  // the pixel data reaches past the block
};

// Where everything of a bitmap lies, once its header has been checked against
// the size of its block. Offsets are from the start of the block.
struct DibLayout {
  std::uint32_t headerSize = 0;
  bool core = false;  // 12-byte header: 3-byte colour entries, no resolution
  std::int32_t width = 0;
  std::int32_t height = 0;  // absolute
  bool topDown = false;
  std::uint16_t planes = 0;
  std::uint16_t depth = 0;
  std::uint32_t compression = 0;
  std::uint32_t sizeImage = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  std::uint32_t colorCount = 0;
  std::uint32_t colorEntryBytes = 4;
  std::size_t colorTableOffset = 0;
  std::size_t pixelOffset = 0;
  std::size_t rowBytes = 0;
  std::size_t pixelBytes = 0;  // rows x rowBytes, or the compressed data's length
  // Rows can be addressed (uncompressed data).
  bool HasRows() const { return compression == kBiRgb || compression == kBiBitfields; }
  // The renderer can draw it: rows, or run-length data (not JPEG or PNG data).
  bool Drawable() const { return HasRows() || compression == kBiRle8 || compression == kBiRle4; }
};

// Checks a packed bitmap of `size` bytes: every part its header describes
// must lie inside those bytes.
DibCheck DIB_CheckLayout(const void* block, std::size_t size, DibLayout* layout);
// Only the header's own fields, whatever the rest of the block holds; false
// when the header is of no known length or does not fit in `size` bytes.
bool DIB_ReadHeader(const void* block, std::size_t size, DibLayout* layout);
// The same for a handle's block, bounded by the block's real size.
DibCheck DIB_CheckBlock(DibHandle handle, DibLayout* layout = nullptr);

// Address of a row counted from the top of the picture; null outside it or
// for compressed data.
unsigned char* DIB_LayoutRow(void* block, const DibLayout& layout, int row);
// Packed red | green << 8 | blue << 16 of colour entry i; 0 outside the table.
std::uint32_t DIB_LayoutColor(const void* block, const DibLayout& layout, std::uint32_t i);
bool DIB_LayoutSetColor(void* block, const DibLayout& layout, std::uint32_t i, std::uint8_t red,
                        std::uint8_t green, std::uint8_t blue);
// Draws the source rectangle starting at (sourceX, sourceY) and reaching the
// bitmap's right and bottom edges into the destination rectangle.
bool DIB_DrawLayout(const void* block, const DibLayout& layout, platform::DeviceContext context,
                    const platform::DrawRect& destination, int sourceX, int sourceY);
unsigned DIB_RealizeLayout(const void* block, const DibLayout& layout,
                           platform::DeviceContext context);

// A block with a 40-byte header for `height` rows (negative: top-down) and
// `colors` gray-ramp entries, pixels left as allocated; null when it cannot
// be represented or allocated.
DibHandle DIB_Allocate(int depth, int width, int height, std::uint32_t colors,
                       std::int32_t xPelsPerMeter, std::int32_t yPelsPerMeter);

// Handle-based calls: each locks the block for the call and unlocks it again;
// a block that fails its check is left alone.
DibHandle DIB_Create(int depth, int width, int height);
// The same bitmap top-down: rows keep their offsets when the block grows.
DibHandle DIB_CreateTopDown(int depth, int width, int rows);
// A top-down bitmap with an uncompressed 40-byte header moved into a block
// with room for `rows` rows (more than it has): header, table and rows are
// copied once and the old block is freed. Null, the old block kept, when the
// rows cannot be represented or allocated.
DibHandle DIB_GrowRows(DibHandle handle, int rows);
// A top-down bitmap told to hold only its first `rows` rows (at most those
// it has); the block keeps its size.
bool DIB_TrimRows(DibHandle handle, int rows);
std::uint16_t DIB_Depth(DibHandle handle);
void DIB_SetResolution(DibHandle handle, double xDpi, double yDpi);
// Copies one padded row, or the first sourceBytes of it when the source is shorter.
bool DIB_WriteRow(DibHandle handle, int row, const void* source, std::size_t sourceBytes);
void DIB_SwapRedBlue(DibHandle handle);
bool DIB_Draw(DibHandle handle, platform::DeviceContext context, int x, int y, int width,
              int height, int sourceX, int sourceY);
