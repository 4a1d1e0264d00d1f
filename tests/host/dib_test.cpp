#include "imaging/dib.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <limits>
#include <tuple>

#include "imaging/dib_shrink.h"
#include "platform/host/host_platform.h"
#include "tests/host/bitmap_builder.h"

namespace {

using platform::host::GetMemoryStats;
using test::BitmapSpec;
using test::BlockBytes;
using test::Complete;
using test::PackedBitmap;
using test::ToBlock;

BitmapInfoHeader HeaderOf(DibHandle handle) {
  BitmapInfoHeader header{};
  std::memcpy(&header, BlockBytes(handle).data(), sizeof(header));
  return header;
}

std::uint32_t ColorOf(DibHandle handle, std::uint32_t i) {
  DibLayout layout;
  EXPECT_EQ(DIB_CheckBlock(handle, &layout), DibCheck::kOk);
  return DIB_LayoutColor(BlockBytes(handle).data(), layout, i);
}

TEST(DibAllocate, RefusesDepthsAndSizesNoHeaderCanHold) {
  for (const auto [depth, width, height] :
       {std::array{-1, 1, 1}, std::array{0x10000, 1, 1}, std::array{8, -1, 1},
        std::array{8, 1, std::numeric_limits<int>::min()},
        // 2^34 bytes a row times 2^30 rows is 2^64: it would wrap to nothing.
        std::array{0x8000, 1 << 22, 1 << 30}}) {
    EXPECT_EQ(DIB_Allocate(depth, width, height, 0, 0, 0), nullptr) << depth << " " << width;
  }
  // The edges that are still headers: no pixels at all, and the widest depth field.
  for (const auto [depth, width, height] :
       {std::array{0, 1, 1}, std::array{0xFFFF, 1, 1}, std::array{8, 0, 1}}) {
    DibHandle dib = DIB_Allocate(depth, width, height, 0, 0, 0);
    EXPECT_NE(dib, nullptr) << depth << " " << width;
    platform::MemFree(dib);
  }
}

TEST(DibCreate, NormalisesTheDepthSizesTheBlockAndFillsTheRamp) {
  struct Case {
    int requested, depth;
    std::uint32_t colors;
  };
  const Case cases[] = {{1, 1, 2},   {2, 4, 16},  {3, 4, 16},  {5, 8, 256},
                        {12, 24, 0}, {16, 16, 0}, {32, 24, 0}, {48, 48, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.requested);
    DibHandle dib = DIB_Create(c.requested, 13, -7);  // a negative height is taken as positive
    const BitmapInfoHeader h = HeaderOf(dib);
    const std::uint64_t rowBytes = DIB_RowBytes(c.depth, 13);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biHeight, 7);
    EXPECT_EQ(h.biBitCount, c.depth);
    EXPECT_EQ(h.biSizeImage, rowBytes * 7);
    EXPECT_EQ(h.biClrUsed + h.biXPelsPerMeter + h.biCompression, 0u);
    EXPECT_EQ(platform::MemSize(dib), rowBytes * 7 + 4 * c.colors + 40);
    if (c.colors) {
      EXPECT_EQ(ColorOf(dib, 1), 255 / (c.colors - 1) * 0x010101u);
      EXPECT_EQ(ColorOf(dib, c.colors - 1), 0xFFFFFFu);
    }
    platform::MemFree(dib);
  }
  DibHandle empty = DIB_Create(8, 0, 1);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(platform::MemSize(empty), 40u + 4 * 256);
  EXPECT_EQ(ColorOf(empty, 255), 0xFFFFFFu);
  platform::MemFree(empty);
  EXPECT_EQ(DIB_RowBytes(1, 1), 4u);
  EXPECT_EQ(DIB_RowBytes(24, 3), 12u);
  EXPECT_EQ(DIB_RowBytes(-1, 100), 0u);
  EXPECT_EQ(DIB_RowBytes(8, -100), 0u);
  // No bitmap for these, and none larger than the address space.
  EXPECT_EQ(DIB_Create(0, 4, 4), nullptr);
  EXPECT_EQ(DIB_Create(8, -4, 4), nullptr);
  EXPECT_EQ(DIB_Create(8, 4, INT_MIN), nullptr);
  EXPECT_EQ(DIB_Create(48, INT_MAX, INT_MAX), nullptr);
  platform::host::FailAllocations(1);
  EXPECT_EQ(DIB_Create(24, 4, 4), nullptr);
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST(DibColorCount, AOneEntryRampIsBlack) {
  RgbQuad table[1] = {{9, 9, 9, 9}};
  DIB_FillGrayRamp(table, 1);
  EXPECT_EQ(table[0].red + table[0].green + table[0].blue, 0);
}

TEST(DibColorCount, NewBitmapsHaveATableUpToEightBits) {
  EXPECT_EQ(DIB_TableEntries(1), 2u);
  EXPECT_EQ(DIB_TableEntries(8), 256u);
  for (const int depth : {-1, 0, 9, 16, 24}) EXPECT_EQ(DIB_TableEntries(depth), 0u) << depth;
}

TEST(DibColorCount, FollowsTheHeaderKind) {
  struct Case {
    std::uint32_t headerSize;
    std::uint16_t bits;
    std::uint32_t clrUsed, expected;
  };
  const Case cases[] = {{12, 1, 0, 2},    {12, 8, 0, 256}, {12, 24, 0, 0}, {40, 4, 0, 16},
                        {40, 8, 16, 16},  {40, 16, 0, 0},  {40, 24, 5, 5}, {40, 48, 0, 0},
                        {108, 8, 0, 256}, {108, 24, 0, 0}, {40, 9, 0, 0},  {12, 9, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(DIB_ColorCount(PackedBitmap({c.headerSize, 1, 1, c.bits, 0, c.clrUsed}).data()),
              c.expected)
        << c.headerSize << "-byte header, " << c.bits << " bits, biClrUsed " << c.clrUsed;
  }
}

TEST(DibColorCount, SetColorWritesInsideTheTableAndSaysWhetherItDid) {
  std::vector<unsigned char> bytes = PackedBitmap(Complete({40, 2, 2, 8, 0, 4}));
  DibLayout layout;
  ASSERT_EQ(DIB_CheckLayout(bytes.data(), bytes.size(), &layout), DibCheck::kOk);
  EXPECT_TRUE(DIB_LayoutSetColor(bytes.data(), layout, 3, 1, 2, 3));
  EXPECT_EQ(DIB_LayoutColor(bytes.data(), layout, 3), 1u | 2u << 8 | 3u << 16);
  const std::vector<unsigned char> before = bytes;
  EXPECT_FALSE(DIB_LayoutSetColor(bytes.data(), layout, 4, 9, 9, 9)) << "past the table";
  EXPECT_EQ(DIB_LayoutColor(bytes.data(), layout, 4), 0u) << "past the table";
  EXPECT_FALSE(DIB_LayoutSetColor(nullptr, layout, 0, 9, 9, 9));
  EXPECT_EQ(DIB_LayoutColor(nullptr, layout, 0), 0u);
  EXPECT_EQ(DIB_LayoutRow(nullptr, layout, 0), nullptr);
  EXPECT_EQ(bytes, before);
}

TEST(DibCheckLayout, PlacesTableAndPixelsForEveryHeaderKind) {
  struct Case {
    BitmapSpec shape;
    std::size_t tableOffset, pixelOffset;
  };
  // Bit-field masks follow a 40-byte header, or lie inside a longer one.
  const Case cases[] = {{{12, 3, 2, 8}, 12, 12 + 256 * 3},
                        {{12, 3, 2, 24}, 12, 12},
                        {{108, 3, -2, 8, 0, 4}, 108, 108 + 16},
                        {{40, 3, 2, 32, 3, 0, 3}, 52, 52},
                        {{108, 3, 2, 16, 3}, 108, 108}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.shape.headerSize << "/" << c.shape.bits);
    const std::vector<unsigned char> bytes = PackedBitmap(Complete(c.shape));
    DibLayout layout;
    ASSERT_EQ(DIB_CheckLayout(bytes.data(), bytes.size(), &layout), DibCheck::kOk);
    EXPECT_EQ(layout.colorTableOffset, c.tableOffset);
    EXPECT_EQ(layout.pixelOffset, c.pixelOffset);
    EXPECT_EQ(layout.colorEntryBytes, c.shape.headerSize == 12 ? 3u : 4u);
    EXPECT_EQ(layout.pixelBytes, bytes.size() - c.pixelOffset);
    EXPECT_EQ(layout.height, 2);
  }
}

TEST(DibCheckLayout, CompressedPixelsAreAsLongAsTheHeaderSaysAndHeadersMayStandAlone) {
  // Run-length data of biSizeImage 10 in 16 bytes; with 0 the rest counts.
  std::vector<unsigned char> bytes = PackedBitmap({40, 4, 4, 8, kBiRle8, 0, 256, 16});
  bytes[20] = 10;
  DibLayout layout;
  ASSERT_EQ(DIB_CheckLayout(bytes.data(), bytes.size(), &layout), DibCheck::kOk);
  EXPECT_EQ(layout.pixelBytes, 10u);
  bytes[20] = 0;
  ASSERT_EQ(DIB_CheckLayout(bytes.data(), bytes.size(), &layout), DibCheck::kOk);
  EXPECT_EQ(layout.pixelBytes, 16u);
  // A 0 by 0 bitmap is its header alone.
  const std::vector<unsigned char> empty = PackedBitmap({40, 0, 0, 24});
  ASSERT_EQ(empty.size(), 40u);
  ASSERT_EQ(DIB_CheckLayout(empty.data(), empty.size(), &layout), DibCheck::kOk);
  EXPECT_EQ(layout.pixelBytes, 0u);
}

// Every header that would lead a reader outside its block is refused, and
// every handle call leaves such a block alone.
TEST(DibCheckLayout, RefusesHeadersThatDoNotFitTheirBlock) {
  struct Case {
    const char* what;
    BitmapSpec shape;
    std::size_t trim;  // bytes cut off the end of the complete bitmap
    DibCheck expected;
  };
  const Case cases[] = {
      {"unknown header size", {41, 2, 2, 8}, 0, DibCheck::kUnknownHeader},
      {"an unknown size and nothing else",
       {41, 2, 2, 8},
       41 + 256 * 4 + 8 - 4,
       DibCheck::kUnknownHeader},
      {"negative width", {40, -2, 2, 8}, 0, DibCheck::kBadDimensions},
      {"height INT_MIN", {40, 2, INT_MIN, 24, 0, 0, 0, 16}, 0, DibCheck::kBadDimensions},
      {"seven bits", {40, 2, 2, 7}, 0, DibCheck::kBadDepth},
      {"run-length 8 at 4 bits", {40, 2, 2, 4, kBiRle8, 0, 16, 8}, 0, DibCheck::kBadDepth},
      {"2^32-1 colours", {40, 2, 2, 8, 0, 0xFFFFFFFF, 256, 8}, 0, DibCheck::kTableOutside},
      {"core table cut short", {12, 2, 2, 8}, 8 + 2, DibCheck::kTableOutside},
      {"last row one byte short", {40, 2, 2, 24}, 1, DibCheck::kPixelsOutside},
      {"huge height", {40, 2, INT_MAX, 24, 0, 0, 0, 16}, 0, DibCheck::kPixelsOutside},
      {"huge width", {40, INT_MAX, 2, 48, 0, 0, 0, 16}, 0, DibCheck::kPixelsOutside},
      {"run-length data shorter than biSizeImage",
       {40, 4, 4, 8, kBiRle8, 0, 256, 9},
       0,
       DibCheck::kPixelsOutside},
      {"V4 header cut short", {108, 2, 2, 24}, 16 + 60, DibCheck::kShortHeader},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<unsigned char> bytes = PackedBitmap(Complete(c.shape));
    if (c.shape.compression == kBiRle8) bytes[20] = 10;  // biSizeImage
    bytes.resize(bytes.size() - c.trim);
    DibHandle block = ToBlock(bytes);
    EXPECT_EQ(DIB_CheckBlock(block), c.expected);
    EXPECT_EQ(DIB_Depth(block), 0);
    EXPECT_FALSE(DIB_WriteRow(block, 0, bytes.data(), bytes.size()));
    DIB_SwapRedBlue(block);
    DIB_SetResolution(block, 300, 300);
    EXPECT_FALSE(DIB_Draw(block, &bytes, 0, 0, 2, 2, 0, 0));
    EXPECT_EQ(BlockBytes(block), bytes);
    platform::MemFree(block);
  }
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST(DibReadHeader, ReadsAHeaderThatFillsItsBlockExactly) {
  BitmapInfoHeader header{};
  header.biSize = 40;
  header.biWidth = 5;
  header.biHeight = 3;
  header.biBitCount = 8;
  DibLayout layout;
  ASSERT_TRUE(DIB_ReadHeader(&header, sizeof(header), &layout));
  EXPECT_FALSE(DIB_ReadHeader(nullptr, sizeof(header), &layout));
  EXPECT_FALSE(DIB_ReadHeader(&header, 3, &layout));
  EXPECT_EQ(layout.width, 5);
  EXPECT_EQ(layout.depth, 8);
  EXPECT_FALSE(DIB_ReadHeader(&header, sizeof(header) - 1, &layout));
}

TEST(DibRows, WriteRowCopiesAPaddedRowAndSwapTouchesOnlyTwentyFourBits) {
  DibHandle dib = DIB_Create(24, 3, 2);  // rows of 9 bytes padded to 12
  const unsigned char source[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  EXPECT_TRUE(DIB_WriteRow(dib, 0, source, sizeof(source)));
  EXPECT_TRUE(DIB_WriteRow(dib, 1, source, 5));  // a short source: only its bytes
  EXPECT_FALSE(DIB_WriteRow(dib, 2, source, sizeof(source)));
  EXPECT_FALSE(DIB_WriteRow(dib, -1, source, sizeof(source)));
  DIB_SwapRedBlue(dib);
  const std::vector<unsigned char> bytes = BlockBytes(dib);
  const std::vector<unsigned char> top(bytes.begin() + 52, bytes.end());  // row 0 is last
  EXPECT_EQ(top, (std::vector<unsigned char>{3, 2, 1, 6, 5, 4, 9, 8, 7, 10, 11, 12}));
  EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + 40, bytes.begin() + 46),
            (std::vector<unsigned char>{3, 2, 1, 0xCD, 5, 4}));
  platform::MemFree(dib);

  const std::vector<unsigned char> gray = PackedBitmap(Complete({40, 3, 2, 8}));
  dib = ToBlock(gray);
  DIB_SwapRedBlue(dib);
  EXPECT_EQ(BlockBytes(dib), gray);
  platform::MemFree(dib);
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST(DibSetResolution, StoresPixelsPerMetreAndClampsTheUnrepresentable) {
  DibHandle dib = DIB_Create(8, 1, 1);
  DIB_SetResolution(dib, 300, 150.5);
  EXPECT_EQ(HeaderOf(dib).biXPelsPerMeter, 11811);
  EXPECT_EQ(HeaderOf(dib).biYPelsPerMeter, 5925);
  DIB_SetResolution(dib, 1e300, std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(HeaderOf(dib).biXPelsPerMeter, INT32_MAX);
  EXPECT_EQ(HeaderOf(dib).biYPelsPerMeter, 0);
  platform::MemFree(dib);
  // A core header has no resolution fields.
  const std::vector<unsigned char> core = PackedBitmap(Complete({12, 2, 2, 24}));
  dib = ToBlock(core);
  DIB_SetResolution(dib, 300, 300);
  EXPECT_EQ(BlockBytes(dib), core);
  platform::MemFree(dib);
}

// A 1-bit bitmap that claims and holds 300 colours: the renderer gets the
// two a 1-bit bitmap can use, and nothing is copied past them.
TEST(DibDraw, ATableLongerThanTheDepthUsesIsCutToIt) {
  int context = 0;
  DibHandle dib = ToBlock(PackedBitmap(Complete({40, 4, 2, 1, 0, 300})));
  ASSERT_TRUE(DIB_Draw(dib, &context, 0, 0, 4, 2, 0, 0));
  const std::vector<platform::host::DibDrawRecord> draws = platform::host::TakeDibDraws();
  ASSERT_EQ(draws.size(), 1u);
  ASSERT_EQ(draws[0].info.size(), 40u + 2 * 4);
  BitmapInfoHeader header;
  std::memcpy(&header, draws[0].info.data(), 40);
  EXPECT_EQ(header.biClrUsed, 2u);
  const unsigned char entry1[4] = {7, 5, 3, 0};
  EXPECT_EQ(std::memcmp(draws[0].info.data() + 44, entry1, 4), 0);
  platform::MemFree(dib);
}

TEST(DibDraw, HandsTheRendererANormalisedHeaderAndOnlyThePixels) {
  int context = 0;
  // A core 4-bit bitmap: the renderer gets a 40-byte header and 4-byte entries.
  const std::vector<unsigned char> bytes = PackedBitmap(Complete({12, 5, 3, 4}));
  DibHandle dib = ToBlock(bytes);
  ASSERT_TRUE(DIB_Draw(dib, &context, 10, 20, 50, 30, 0, 0));
  EXPECT_FALSE(DIB_Draw(dib, &context, 0, 0, 5, 3, 5, 0)) << "source origin outside";
  EXPECT_FALSE(DIB_Draw(dib, &context, 0, 0, 5, 3, 0, 3));
  EXPECT_FALSE(DIB_Draw(dib, &context, 0, 0, 5, 3, -1, 0));
  EXPECT_FALSE(DIB_Draw(dib, &context, 0, 0, 5, 3, 0, -1));
  for (std::uint32_t compression : {4u, 5u}) {
    test::BitmapSpec embedded{40, 5, 3, 24, compression};
    embedded.pixelBytes = 16;
    DibHandle other = ToBlock(PackedBitmap(embedded));
    EXPECT_EQ(DIB_CheckBlock(other, nullptr), DibCheck::kOk) << "a well-formed block";
    EXPECT_FALSE(DIB_Draw(other, &context, 0, 0, 5, 3, 0, 0)) << compression;
    const std::vector<unsigned char> before = BlockBytes(other);
    DIB_SwapRedBlue(other);
    EXPECT_EQ(BlockBytes(other), before) << "compressed data is not pixels to swap";
    platform::MemFree(other);
  }
  std::vector<platform::host::DibDrawRecord> draws = platform::host::TakeDibDraws();
  ASSERT_EQ(draws.size(), 1u);
  const platform::host::DibDrawRecord& draw = draws[0];
  EXPECT_EQ(draw.context, &context);
  const auto rect = [](const platform::DrawRect& r) {
    return std::make_tuple(r.x, r.y, r.width, r.height);
  };
  EXPECT_EQ(rect(draw.destination), std::make_tuple(10, 20, 50, 30));
  EXPECT_EQ(rect(draw.source), std::make_tuple(0, 0, 5, 3));
  ASSERT_EQ(draw.info.size(), 40u + 16 * 4);
  BitmapInfoHeader header;
  std::memcpy(&header, draw.info.data(), 40);
  EXPECT_EQ(header.biSize + header.biClrUsed, 40u + 16);
  const unsigned char entry2[4] = {14, 10, 6, 0};
  EXPECT_EQ(std::memcmp(draw.info.data() + 40 + 8, entry2, 4), 0);
  const std::size_t pixels = 12 + 16 * 3;
  EXPECT_EQ(draw.bitsBytes, bytes.size() - pixels);
  EXPECT_EQ(draw.bitsChecksum,
            platform::host::DibChecksum(bytes.data() + pixels, bytes.size() - pixels));
  platform::MemFree(dib);

  // A table shorter than the depth's is completed with black, so no pixel
  // value indexes past it.
  dib = ToBlock(PackedBitmap(Complete({40, 2, 2, 8, 0, 3})));
  ASSERT_TRUE(DIB_Draw(dib, &context, 0, 0, 2, 2, 0, 0));
  draws = platform::host::TakeDibDraws();
  EXPECT_EQ(draws[0].info.size(), 40u + 256 * 4);
  EXPECT_EQ(draws[0].info[40 + 4 * 3], 0);
  platform::MemFree(dib);

  // Bit-field masks after a 40-byte header go to the renderer as they are.
  const std::vector<unsigned char> masked =
      PackedBitmap(Complete({40, 2, 2, 16, kBiBitfields, 0, 3}));
  dib = ToBlock(masked);
  ASSERT_TRUE(DIB_Draw(dib, &context, 0, 0, 2, 2, 0, 0));
  draws = platform::host::TakeDibDraws();
  ASSERT_EQ(draws[0].info.size(), 40u + 12);
  EXPECT_TRUE(std::equal(masked.begin() + 40, masked.begin() + 52, draws[0].info.begin() + 40));
  platform::MemFree(dib);
}

// The mean colour of each box, rows bottom-up, from every depth's pixels.
TEST(DibShrink, EachPixelIsTheMeanOfItsBox) {
  using Pixels = std::vector<std::uint32_t>;
  auto shrunk = [](const std::vector<unsigned char>& bytes, platform::DrawRect source, int width,
                   int height) {
    DibLayout layout;
    EXPECT_EQ(DIB_CheckLayout(bytes.data(), bytes.size(), &layout), DibCheck::kOk);
    const std::unique_ptr<std::uint32_t[]> pixels =
        DIB_ShrinkLayout(bytes.data(), layout, source, width, height);
    EXPECT_NE(pixels, nullptr);
    return pixels ? Pixels(pixels.get(), pixels.get() + width * height) : Pixels{};
  };
  auto bitmap = [](BitmapSpec shape, std::vector<unsigned char> table,
                   std::vector<unsigned char> pixels) {
    std::vector<unsigned char> bytes =
        PackedBitmap({shape.headerSize, shape.width, shape.height, shape.bits, shape.compression});
    bytes.insert(bytes.end(), table.begin(), table.end());
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    return bytes;
  };
  // A 1-bit checkerboard of black and white is mid-grey.
  const std::vector<unsigned char> checks =
      bitmap({40, 4, 2, 1}, {0, 0, 0, 0, 255, 255, 255, 0}, {0xA0, 0, 0, 0, 0x50, 0, 0, 0});
  EXPECT_EQ(shrunk(checks, {0, 0, 4, 2}, 2, 1), (Pixels{0x808080, 0x808080}));
  // 24 bits, 3 x 2 bottom-up: blue below, red, white and black above; three
  // columns into two give boxes of one and two.
  const std::vector<unsigned char> colour =
      bitmap({40, 3, 2, 24}, {}, {255, 0, 0,   255, 0,   0,   255, 0, 0, 0, 0, 0,  // bottom row
                                  0,   0, 255, 255, 255, 255, 0,   0, 0, 0, 0, 0});
  EXPECT_EQ(shrunk(colour, {0, 0, 3, 2}, 2, 2), (Pixels{0x0000FF, 0x0000FF, 0xFF0000, 0x808080}));
  EXPECT_EQ(shrunk(colour, {1, 0, 2, 1}, 1, 1), (Pixels{0x808080})) << "only the source rectangle";
  // 16 bits of 5-5-5 white and black; 32 bits with masks in red-first order.
  EXPECT_EQ(shrunk(bitmap({40, 2, 1, 16}, {}, {0xFF, 0x7F, 0, 0}), {0, 0, 2, 1}, 1, 1),
            (Pixels{0x808080}));
  EXPECT_EQ(shrunk(bitmap({40, 1, 1, 32, kBiBitfields},
                          {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0}, {0xFF, 0, 0, 0}),
                   {0, 0, 1, 1}, 1, 1),
            (Pixels{0xFF0000}));

  DibLayout layout;
  ASSERT_EQ(DIB_CheckLayout(checks.data(), checks.size(), &layout), DibCheck::kOk);
  EXPECT_EQ(DIB_ShrinkLayout(checks.data(), layout, {0, 0, 4, 2}, 5, 1), nullptr) << "larger";
  EXPECT_EQ(DIB_ShrinkLayout(checks.data(), layout, {2, 0, 4, 2}, 2, 1), nullptr) << "outside";
}

}  // namespace
