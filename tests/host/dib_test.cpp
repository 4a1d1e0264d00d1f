#include "imaging/dib.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

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
  std::vector<unsigned char> bytes = BlockBytes(handle);
  if (bytes.size() >= sizeof(header)) std::memcpy(&header, bytes.data(), sizeof(header));
  return header;
}

TEST(DibCreate, NormalisesTheDepthAndSizesTheBlock) {
  struct Case {
    int requested;
    int depth;
    std::uint32_t colors;
  };
  const Case cases[] = {{1, 1, 2},   {2, 4, 16},  {3, 4, 16},  {4, 4, 16},
                        {5, 8, 256}, {8, 8, 256}, {12, 24, 0}, {16, 16, 0},
                        {24, 24, 0}, {32, 24, 0}, {48, 48, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.requested);
    DibHandle dib = DIB_Create(c.requested, 13, 7);
    ASSERT_NE(dib, nullptr);
    const BitmapInfoHeader h = HeaderOf(dib);
    const std::uint64_t rowBytes = DIB_RowBytes(c.depth, 13);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 13);
    EXPECT_EQ(h.biHeight, 7);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, c.depth);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, rowBytes * 7);
    EXPECT_EQ(h.biXPelsPerMeter, 0);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(platform::MemSize(dib), rowBytes * 7 + 4 * c.colors + 40);
    EXPECT_EQ(DIB_Depth(dib), c.depth);
    platform::MemFree(dib);
  }
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST(DibCreate, FillsTheGrayRamp) {
  DibHandle dib = DIB_Create(3, 2, 2);
  DibLayout layout;
  ASSERT_EQ(DIB_CheckBlock(dib, &layout), DibCheck::kOk);
  const std::vector<unsigned char> bytes = BlockBytes(dib);
  ASSERT_EQ(layout.colorCount, 16u);
  for (std::uint32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(DIB_LayoutColor(bytes.data(), layout, i), 17 * i * 0x010101u) << i;
    EXPECT_EQ(bytes[40 + 4 * i + 3], 0) << "reserved byte of entry " << i;
  }
  platform::MemFree(dib);

  dib = DIB_Create(1, 8, 1);
  ASSERT_EQ(DIB_CheckBlock(dib, &layout), DibCheck::kOk);
  EXPECT_EQ(DIB_LayoutColor(BlockBytes(dib).data(), layout, 0), 0u);
  EXPECT_EQ(DIB_LayoutColor(BlockBytes(dib).data(), layout, 1), 0xFFFFFFu);
  platform::MemFree(dib);
}

TEST(DibCreate, NegativeHeightGivesTheSameBottomUpBitmap) {
  DibHandle up = DIB_Create(8, 5, 3);
  DibHandle down = DIB_Create(8, 5, -3);
  EXPECT_EQ(HeaderOf(down).biHeight, 3);
  EXPECT_EQ(BlockBytes(up).size(), BlockBytes(down).size());
  EXPECT_EQ(std::memcmp(BlockBytes(up).data(), BlockBytes(down).data(), 40 + 1024), 0);
  platform::MemFree(up);
  platform::MemFree(down);
}

TEST(DibCreate, RefusesWhatHasNoBitmapAndSurvivesAllocationFailure) {
  EXPECT_EQ(DIB_Create(0, 4, 4), nullptr);
  EXPECT_EQ(DIB_Create(-8, 4, 4), nullptr);
  EXPECT_EQ(DIB_Create(8, -4, 4), nullptr);
  EXPECT_EQ(DIB_Create(8, 4, INT_MIN), nullptr);
  // Larger than any address space: refused before allocating.
  EXPECT_EQ(DIB_Create(48, INT_MAX, INT_MAX), nullptr);
  platform::host::FailAllocations(1);
  EXPECT_EQ(DIB_Create(24, 4, 4), nullptr);
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
}

TEST(DibRowBytes, PadsToFourBytes) {
  EXPECT_EQ(DIB_RowBytes(1, 1), 4u);
  EXPECT_EQ(DIB_RowBytes(1, 33), 8u);
  EXPECT_EQ(DIB_RowBytes(4, 9), 8u);
  EXPECT_EQ(DIB_RowBytes(24, 3), 12u);
  EXPECT_EQ(DIB_RowBytes(24, 45), 136u);
  EXPECT_EQ(DIB_RowBytes(48, INT_MAX), (std::uint64_t{INT_MAX} * 48 + 31) / 32 * 4);
  EXPECT_EQ(DIB_RowBytes(8, -1), 0u);
}

TEST(DibColorCount, FollowsTheHeaderKind) {
  struct Case {
    std::uint32_t headerSize;
    std::uint16_t bits;
    std::uint32_t clrUsed;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {12, 1, 0, 2},   {12, 4, 0, 16},  {12, 8, 0, 256},  {12, 24, 0, 0}, {40, 1, 0, 2},
      {40, 8, 0, 256}, {40, 8, 16, 16}, {40, 16, 0, 0},   {40, 24, 0, 0}, {40, 24, 5, 5},
      {40, 32, 0, 0},  {40, 48, 0, 0},  {108, 8, 0, 256}, {108, 4, 3, 3}, {108, 24, 0, 0},
  };
  for (const Case& c : cases) {
    BitmapSpec spec;
    spec.headerSize = c.headerSize;
    spec.bits = c.bits;
    spec.clrUsed = c.clrUsed;
    EXPECT_EQ(DIB_ColorCount(PackedBitmap(spec).data()), c.expected)
        << c.headerSize << "-byte header, " << c.bits << " bits, biClrUsed " << c.clrUsed;
  }
}

TEST(DibLayoutTest, PlacesTableAndPixelsForEveryHeaderKind) {
  struct Case {
    BitmapSpec spec;
    std::size_t tableOffset;
    std::size_t pixelOffset;
    std::uint32_t entryBytes;
  };
  BitmapSpec core8{12, 3, 2, 8};
  BitmapSpec core24{12, 3, 2, 24};
  BitmapSpec info8{40, 3, 2, 8};
  BitmapSpec v4{108, 3, 2, 8, 0, 4};
  BitmapSpec fields{40, 3, 2, 32, kBiBitfields};
  BitmapSpec fieldsV4{108, 3, 2, 16, kBiBitfields};
  const Case cases[] = {
      {core8, 12, 12 + 256 * 3, 3}, {core24, 12, 12, 3}, {info8, 40, 40 + 1024, 4},
      {v4, 108, 108 + 16, 4},       {fields, 52, 52, 4}, {fieldsV4, 108, 108, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.spec.headerSize << "/" << c.spec.bits);
    BitmapSpec spec = Complete(c.spec);
    if (spec.compression == kBiBitfields && spec.headerSize == 40) {
      spec.tableEntries = 3;  // the masks
    }
    const std::vector<unsigned char> bytes = PackedBitmap(spec);
    DibLayout layout;
    ASSERT_EQ(DIB_CheckLayout(bytes.data(), bytes.size(), &layout), DibCheck::kOk);
    EXPECT_EQ(layout.colorTableOffset, c.tableOffset);
    EXPECT_EQ(layout.pixelOffset, c.pixelOffset);
    EXPECT_EQ(layout.colorEntryBytes, c.entryBytes);
    EXPECT_EQ(layout.pixelBytes, bytes.size() - c.pixelOffset);
    EXPECT_EQ(layout.width, 3);
    EXPECT_EQ(layout.height, 2);
  }
}

TEST(DibLayoutTest, RowZeroIsTheLastRowBottomUpAndTheFirstTopDown) {
  for (int height : {3, -3}) {
    const std::vector<unsigned char> bytes = PackedBitmap(Complete({40, 2, height, 24}));
    DibLayout layout;
    ASSERT_EQ(DIB_CheckLayout(bytes.data(), bytes.size(), &layout), DibCheck::kOk);
    auto* block = const_cast<unsigned char*>(bytes.data());
    unsigned char* first = block + 40;
    unsigned char* last = block + 40 + 8 * 2;
    EXPECT_EQ(layout.topDown, height < 0);
    EXPECT_EQ(DIB_LayoutRow(block, layout, 0), height > 0 ? last : first);
    EXPECT_EQ(DIB_LayoutRow(block, layout, 2), height > 0 ? first : last);
    EXPECT_EQ(DIB_LayoutRow(block, layout, 3), nullptr);
    EXPECT_EQ(DIB_LayoutRow(block, layout, -1), nullptr);
  }
}

// Every header that would lead a reader outside its block is refused.
TEST(DibLayoutTest, RefusesHeadersThatDoNotFitTheirBlock) {
  struct Case {
    const char* what;
    BitmapSpec spec;
    std::ptrdiff_t trim;  // bytes cut off the end of the complete bitmap
    DibCheck expected;
  };
  const Case cases[] = {
      {"unknown header size", {41, 2, 2, 8}, 0, DibCheck::kUnknownHeader},
      {"zero header size", {0, 2, 2, 8}, 0, DibCheck::kUnknownHeader},
      {"negative width", {40, -2, 2, 8}, 0, DibCheck::kBadDimensions},
      {"height without absolute value",
       {40, 2, INT_MIN, 24, 0, 0, 0, 16},
       0,
       DibCheck::kBadDimensions},
      {"seven bits", {40, 2, 2, 7}, 0, DibCheck::kBadDepth},
      {"no bits", {40, 2, 2, 0, 0, 0, 1, 8}, 0, DibCheck::kBadDepth},
      {"run-length 8 at 4 bits", {40, 2, 2, 4, kBiRle8, 0, 16, 8}, 0, DibCheck::kBadDepth},
      {"table of 2^32-1 entries", {40, 2, 2, 8, 0, 0xFFFFFFFF, 256, 8}, 0, DibCheck::kTableOutside},
      {"table cut short", {40, 2, 2, 8}, 1024 + 8, DibCheck::kTableOutside},
      {"core 8-bit table cut short", {12, 2, 2, 8}, 8 + 2, DibCheck::kTableOutside},
      {"last row missing one byte", {40, 2, 2, 24}, 1, DibCheck::kPixelsOutside},
      {"top-down rows missing", {40, 2, -2, 24}, 8, DibCheck::kPixelsOutside},
      {"huge height", {40, 2, INT_MAX, 24, 0, 0, 0, 16}, 0, DibCheck::kPixelsOutside},
      {"huge width", {40, INT_MAX, 2, 48, 0, 0, 0, 16}, 0, DibCheck::kPixelsOutside},
      {"V4 header cut short", {108, 2, 2, 24}, 16 + 60, DibCheck::kShortHeader},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<unsigned char> bytes = PackedBitmap(Complete(c.spec));
    bytes.resize(bytes.size() - static_cast<std::size_t>(c.trim));
    EXPECT_EQ(DIB_CheckLayout(bytes.data(), bytes.size(), nullptr), c.expected);
    DibHandle block = ToBlock(bytes);
    EXPECT_EQ(DIB_CheckBlock(block), c.expected);
    // Every handle call leaves such a block alone.
    EXPECT_EQ(DIB_Depth(block), 0);
    EXPECT_FALSE(DIB_WriteRow(block, 0, bytes.data(), bytes.size()));
    DIB_SwapRedBlue(block);
    DIB_SetResolution(block, 300, 300);
    EXPECT_FALSE(DIB_Draw(block, &bytes, 0, 0, 2, 2, 0, 0));
    EXPECT_EQ(BlockBytes(block), bytes);
    platform::MemFree(block);
  }
  EXPECT_EQ(DIB_CheckLayout(nullptr, 100, nullptr), DibCheck::kNoBlock);
  EXPECT_EQ(DIB_CheckBlock(nullptr), DibCheck::kNoBlock);
  const std::uint16_t two = 40;
  EXPECT_EQ(DIB_CheckLayout(&two, sizeof(two), nullptr), DibCheck::kShortHeader);
  EXPECT_TRUE(platform::host::TakeDibDraws().empty());
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST(DibLayoutTest, CompressedDataIsBoundedBySizeImage) {
  BitmapSpec spec = Complete({40, 4, 4, 8, kBiRle8});
  spec.pixelBytes = 10;
  std::vector<unsigned char> bytes = PackedBitmap(spec);
  std::uint32_t sizeImage = 10;
  std::memcpy(bytes.data() + 20, &sizeImage, 4);
  DibLayout layout;
  ASSERT_EQ(DIB_CheckLayout(bytes.data(), bytes.size(), &layout), DibCheck::kOk);
  EXPECT_EQ(layout.pixelBytes, 10u);
  EXPECT_FALSE(layout.HasRows());
  EXPECT_EQ(DIB_LayoutRow(bytes.data(), layout, 0), nullptr);
  sizeImage = 11;
  std::memcpy(bytes.data() + 20, &sizeImage, 4);
  EXPECT_EQ(DIB_CheckLayout(bytes.data(), bytes.size(), &layout), DibCheck::kPixelsOutside);
}

TEST(DibWriteRow, CopiesAPaddedRowOrWhatTheSourceHolds) {
  DibHandle dib = DIB_Create(24, 3, 2);  // rows of 9 bytes padded to 12
  std::vector<unsigned char> source(12);
  for (int i = 0; i < 12; ++i) source[i] = static_cast<unsigned char>(i + 1);
  EXPECT_TRUE(DIB_WriteRow(dib, 0, source.data(), source.size()));
  EXPECT_TRUE(DIB_WriteRow(dib, 1, source.data(), 5));
  EXPECT_FALSE(DIB_WriteRow(dib, 2, source.data(), source.size()));
  EXPECT_FALSE(DIB_WriteRow(dib, -1, source.data(), source.size()));
  const std::vector<unsigned char> bytes = BlockBytes(dib);
  // Row 0 (the top) is last in memory.
  EXPECT_TRUE(std::equal(source.begin(), source.end(), bytes.begin() + 40 + 12));
  EXPECT_TRUE(std::equal(source.begin(), source.begin() + 5, bytes.begin() + 40));
  EXPECT_EQ(bytes[40 + 5], 0xCD) << "beyond the short source stays as allocated";
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
  platform::MemFree(dib);
}

TEST(DibSwapRedBlue, SwapsOnlyTwentyFourBitPixels) {
  const std::vector<unsigned char> original = PackedBitmap(Complete({40, 3, 2, 24}));
  DibHandle dib = ToBlock(original);
  DIB_SwapRedBlue(dib);
  std::vector<unsigned char> swapped = BlockBytes(dib);
  for (std::size_t row = 0; row < 2; ++row) {
    const std::size_t start = 40 + 12 * row;
    for (std::size_t p = 0; p < 3; ++p) {
      EXPECT_EQ(swapped[start + 3 * p], original[start + 3 * p + 2]);
      EXPECT_EQ(swapped[start + 3 * p + 1], original[start + 3 * p + 1]);
      EXPECT_EQ(swapped[start + 3 * p + 2], original[start + 3 * p]);
    }
    for (std::size_t pad = 9; pad < 12; ++pad)
      EXPECT_EQ(swapped[start + pad], original[start + pad]);
  }
  platform::MemFree(dib);

  const std::vector<unsigned char> gray = PackedBitmap(Complete({40, 3, 2, 8}));
  dib = ToBlock(gray);
  DIB_SwapRedBlue(dib);
  EXPECT_EQ(BlockBytes(dib), gray);
  platform::MemFree(dib);
  DIB_SwapRedBlue(nullptr);
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
  DIB_SetResolution(dib, -1e300, 0);
  EXPECT_EQ(HeaderOf(dib).biXPelsPerMeter, INT32_MIN);
  platform::MemFree(dib);

  // A core header has no resolution fields: nothing is written.
  const std::vector<unsigned char> core = PackedBitmap(Complete({12, 2, 2, 24}));
  dib = ToBlock(core);
  DIB_SetResolution(dib, 300, 300);
  EXPECT_EQ(BlockBytes(dib), core);
  platform::MemFree(dib);
}

TEST(DibDraw, HandsTheRendererANormalisedHeaderAndOnlyThePixels) {
  int context = 0;
  // A 4-bit bitmap with a 3-entry table: the renderer gets all 16 entries,
  // those the bitmap lacks black, so no pixel value indexes past the table.
  const std::vector<unsigned char> bytes = PackedBitmap(Complete({40, 5, 3, 4, 0, 3}));
  DibHandle dib = ToBlock(bytes);
  ASSERT_TRUE(DIB_Draw(dib, &context, 10, 20, 50, 30, 0, 0));
  EXPECT_FALSE(DIB_Draw(dib, &context, 0, 0, 5, 3, 5, 0)) << "source origin outside";
  EXPECT_FALSE(DIB_Draw(dib, &context, 0, 0, 5, 3, -1, 0));
  std::vector<platform::host::DibDrawRecord> draws = platform::host::TakeDibDraws();
  ASSERT_EQ(draws.size(), 1u);
  const platform::host::DibDrawRecord& draw = draws[0];
  EXPECT_EQ(draw.context, &context);
  EXPECT_EQ(draw.destination.x, 10);
  EXPECT_EQ(draw.destination.y, 20);
  EXPECT_EQ(draw.destination.width, 50);
  EXPECT_EQ(draw.destination.height, 30);
  EXPECT_EQ(draw.source.x, 0);
  EXPECT_EQ(draw.source.width, 5);
  EXPECT_EQ(draw.source.height, 3);
  ASSERT_EQ(draw.info.size(), 40u + 16 * 4);
  BitmapInfoHeader header;
  std::memcpy(&header, draw.info.data(), 40);
  EXPECT_EQ(header.biBitCount, 4);
  EXPECT_EQ(header.biClrUsed, 16u);
  EXPECT_EQ(std::memcmp(draw.info.data() + 40, bytes.data() + 40, 12), 0);
  EXPECT_TRUE(std::all_of(draw.info.begin() + 52, draw.info.end(), [](auto b) { return b == 0; }));
  const std::size_t pixelOffset = 40 + 3 * 4;
  EXPECT_EQ(draw.bitsBytes, bytes.size() - pixelOffset);
  EXPECT_EQ(draw.bitsChecksum,
            platform::host::DibChecksum(bytes.data() + pixelOffset, bytes.size() - pixelOffset));
  platform::MemFree(dib);

  // A core header is handed over as a 40-byte one with 4-byte entries.
  dib = ToBlock(PackedBitmap(Complete({12, 2, 2, 8})));
  ASSERT_TRUE(DIB_Draw(dib, &context, 0, 0, 2, 2, 0, 0));
  draws = platform::host::TakeDibDraws();
  ASSERT_EQ(draws.size(), 1u);
  std::memcpy(&header, draws[0].info.data(), 40);
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, 2);
  EXPECT_EQ(header.biHeight, 2);
  const unsigned char entry2[4] = {14, 10, 6, 0};
  EXPECT_EQ(std::memcmp(draws[0].info.data() + 40 + 8, entry2, 4), 0);
  platform::MemFree(dib);

  // Data only a codec could read is not handed to the renderer.
  BitmapSpec jpeg = Complete({40, 4, 4, 24, 4});
  jpeg.pixelBytes = 20;
  dib = ToBlock(PackedBitmap(jpeg));
  EXPECT_EQ(DIB_CheckBlock(dib), DibCheck::kOk);
  EXPECT_FALSE(DIB_Draw(dib, &context, 0, 0, 4, 4, 0, 0));
  platform::MemFree(dib);
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

}  // namespace
