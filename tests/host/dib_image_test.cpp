#include "imaging/dib_image.h"

#include <gtest/gtest.h>

#include "imaging/dib_registry.h"
#include "platform/host/host_platform.h"
#include "tests/host/bitmap_builder.h"

namespace {

using platform::host::GetMemoryStats;
using platform::host::LockCount;
using test::BitmapSpec;
using test::Complete;
using test::PackedBitmap;
using test::ToBlock;

TEST(DibImageTest, AnEmptyViewReadsAsNothing) {
  DibImage view;
  int context = 0;
  EXPECT_EQ(view.Handle(), nullptr);
  EXPECT_EQ(view.Header(), nullptr);
  EXPECT_EQ(view.HeaderSize(), 0u);
  EXPECT_STREQ(view.HeaderKindName(), "null");
  EXPECT_EQ(view.Width(), 0);
  EXPECT_EQ(view.Height(), 0);
  EXPECT_EQ(view.Depth(), 0);
  EXPECT_EQ(view.ColorCount(), 0);
  EXPECT_EQ(view.XDotsPerInch(), 0);
  EXPECT_EQ(view.Color(0), 0u);
  EXPECT_EQ(view.RowAddress(0), nullptr);
  view.Draw(&context, 0, 0, 1, 1);
  EXPECT_TRUE(platform::host::TakeDibDraws().empty());
  platform::host::SetDibRealizeResult(7);
  EXPECT_EQ(view.RealizePalette(&context), 0u);
  EXPECT_FALSE(view.Attach(nullptr));
}

TEST(DibImageTest, AttachReadsTheHeaderAndKeepsTheBlockLocked) {
  BitmapSpec spec = Complete({108, 6, -4, 8, 0, 20});
  std::vector<unsigned char> bytes = PackedBitmap(spec);
  const std::int32_t ppm[2] = {11811, 3780};
  std::memcpy(bytes.data() + 24, ppm, sizeof(ppm));
  DibHandle dib = ToBlock(bytes);
  {
    DibImage view(dib);
    ASSERT_NE(view.Header(), nullptr);
    EXPECT_EQ(LockCount(dib), 1);
    EXPECT_EQ(view.HeaderSize(), 108u);
    EXPECT_STREQ(view.HeaderKindName(), "BITMAPV4HEADER");
    EXPECT_EQ(view.Width(), 6);
    EXPECT_EQ(view.Height(), 4);
    EXPECT_EQ(view.Planes(), 1);
    EXPECT_EQ(view.Depth(), 8);
    EXPECT_EQ(view.ColorCount(), 20);
    EXPECT_EQ(view.XPelsPerMeter(), 11811);
    EXPECT_EQ(view.XDotsPerInch(), 300);
    EXPECT_EQ(view.YDotsPerInch(), 100);
    EXPECT_EQ(view.Bits(), static_cast<const unsigned char*>(view.Header()) + 108 + 80);
    // Top-down: row 0 is the first in memory.
    EXPECT_EQ(view.RowAddress(0), view.Bits());
    EXPECT_EQ(view.RowAddress(3), view.Bits() + 3 * 8);
    EXPECT_EQ(view.RowAddress(4), nullptr);
  }
  EXPECT_FALSE(platform::host::IsLiveBlock(dib)) << "the only view let go";
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST(DibImageTest, NamesEachHeaderKind) {
  EXPECT_STREQ(DIB_HeaderKindName(0), "null");
  EXPECT_STREQ(DIB_HeaderKindName(40), "BITMAPINFOHEADER (basic)");
  EXPECT_STREQ(DIB_HeaderKindName(108), "BITMAPV4HEADER");
  EXPECT_STREQ(DIB_HeaderKindName(12), "unknown");
  EXPECT_STREQ(DIB_HeaderKindName(124), "unknown");
  DibImage core(ToBlock(PackedBitmap(Complete({12, 3, 2, 24}))));
  EXPECT_STREQ(core.HeaderKindName(), "unknown");
  EXPECT_EQ(core.Width(), 3);
  EXPECT_EQ(core.Height(), 2);
  EXPECT_EQ(core.Depth(), 24);
}

TEST(DibImageTest, SnapsDotsPerInchToMultiplesOfFifty) {
  EXPECT_EQ(DIB_DotsPerInch(11811), 300);
  EXPECT_EQ(DIB_DotsPerInch(3780), 100);
  EXPECT_NEAR(DIB_DotsPerInch(2835), 72.009, 1e-9);
  EXPECT_EQ(DIB_DotsPerInch(0), 0);
  EXPECT_EQ(DIB_DotsPerInch(23622), 600);
  EXPECT_NEAR(DIB_DotsPerInch(-3780), -96.012, 1e-9);
}

TEST(DibImageTest, ReadsAndWritesColoursInsideTheTableOnly) {
  DibImage view(ToBlock(PackedBitmap(Complete({40, 2, 2, 8, 0, 4}))));
  ASSERT_EQ(view.ColorCount(), 4);
  EXPECT_EQ(view.Color(2), 6u | 10u << 8 | 14u << 16);
  view.SetColor(1, 0x00332211);
  EXPECT_EQ(view.Color(1), 0x00332211u);
  const auto* entry = static_cast<const unsigned char*>(view.Header()) + 40 + 4;
  EXPECT_EQ(entry[0], 0x33) << "blue first";
  EXPECT_EQ(entry[2], 0x11);
  view.SetColor(3, 255, 128, 1);
  EXPECT_EQ(view.Color(3), 255u | 128u << 8 | 1u << 16);
  // Past the table lie the pixels, or the end of the block.
  const unsigned char firstPixel = *view.Bits();
  view.SetColor(4, 0xFFFFFF);
  view.SetColor(-1, 0xFFFFFF);
  EXPECT_EQ(*view.Bits(), firstPixel);
  EXPECT_EQ(view.Color(4), 0u);
  EXPECT_EQ(view.Color(1000000), 0u);

  // Core tables have 3-byte entries.
  DibImage core(ToBlock(PackedBitmap(Complete({12, 2, 2, 1}))));
  EXPECT_EQ(core.Color(1), 3u | 5u << 8 | 7u << 16);
  core.SetColor(0, 1, 2, 3);
  EXPECT_EQ(core.Color(0), 1u | 2u << 8 | 3u << 16);
  EXPECT_EQ(core.Color(1), 3u | 5u << 8 | 7u << 16);
}

TEST(DibImageTest, CreateMakesAGrayRampedBitmapOrNothing) {
  DibImage view;
  ASSERT_TRUE(view.Create(16, 16, 8, 2835));
  EXPECT_EQ(view.HeaderSize(), 40u);
  EXPECT_EQ(view.ColorCount(), 256);
  EXPECT_EQ(view.Color(255), 0xFFFFFFu);
  EXPECT_EQ(view.Color(17), 17u * 0x010101u);
  EXPECT_EQ(view.YPelsPerMeter(), 2835) << "-1 stands for the x value";
  EXPECT_EQ(view.ImageSize(), 256u);

  ASSERT_TRUE(view.Create(3, -2, 24, 100, 200));
  EXPECT_EQ(view.Height(), 2);
  EXPECT_EQ(view.YPelsPerMeter(), 200);
  EXPECT_EQ(view.RowAddress(0), view.Bits()) << "a negative height is top-down";
  EXPECT_EQ(GetMemoryStats().liveBlocks, 1) << "the first bitmap was freed";

  // Depths no bitmap has are refused and leave nothing behind.
  EXPECT_FALSE(view.Create(4, 4, 3, 0));
  EXPECT_FALSE(view.Create(4, 4, -1, 0));
  EXPECT_EQ(view.Header(), nullptr);
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
  platform::host::FailAllocations(1);
  EXPECT_FALSE(view.Create(4, 4, 8, 0));
}

TEST(DibImageTest, WriteRowCopiesTheUnpaddedRow) {
  DibImage view;
  ASSERT_TRUE(view.Create(5, 2, 4, 0));  // 3 bytes a row, padded to 4
  unsigned char* bottom = view.RowAddress(1);
  std::memset(bottom, 0xEE, 4);
  const unsigned char source[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  view.WriteRow(1, source);
  EXPECT_EQ(bottom[2], 3);
  EXPECT_EQ(bottom[3], 0xEE);
  view.WriteRow(2, source);
  view.WriteRow(-1, source);
  EXPECT_EQ(view.RowAddress(0), bottom + 4);
}

TEST(DibImageTest, DrawsTheWholeBitmapScaled) {
  int context = 0;
  DibImage view;
  ASSERT_TRUE(view.Create(300, 200, 24, 0));
  view.Draw(&context, 4, 5, 1, 2);
  view.Draw(&context, 0, 0, 4, 1);
  view.Draw(&context, 0, 0, 1, 0);
  std::vector<platform::host::DibDrawRecord> draws = platform::host::TakeDibDraws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].destination.x, 4);
  EXPECT_EQ(draws[0].destination.y, 5);
  EXPECT_EQ(draws[0].destination.width, 150);
  EXPECT_EQ(draws[0].destination.height, 100);
  EXPECT_EQ(draws[0].source.width, 300);
  EXPECT_EQ(draws[0].source.height, 200);
  EXPECT_EQ(draws[1].destination.width, 1200);
  EXPECT_EQ(draws[1].destination.height, 800);
  platform::host::SetDibRealizeResult(12);
  EXPECT_EQ(view.RealizePalette(&context), 12u);
  EXPECT_EQ(platform::host::DibRealizeCount(), 1);
}

TEST(DibImageTest, ABitmapThatDoesNotFitShowsAsNoImageButStaysOwned) {
  std::vector<unsigned char> bytes = PackedBitmap(Complete({40, 4, 4, 24}));
  bytes.pop_back();
  DibHandle dib = ToBlock(bytes);
  DibImage view;
  EXPECT_FALSE(view.Attach(dib));
  EXPECT_EQ(view.Check(), DibCheck::kPixelsOutside);
  EXPECT_EQ(view.Handle(), dib);
  EXPECT_EQ(view.Header(), nullptr);
  EXPECT_EQ(view.Width(), 0);
  EXPECT_STREQ(view.HeaderKindName(), "null");
  EXPECT_EQ(LockCount(dib), 0);
  EXPECT_EQ(DibRegistry_Count(dib), 1);
  view.Free();
  EXPECT_FALSE(platform::host::IsLiveBlock(dib));
}

TEST(DibImageTest, DetachHandsBackTheHandleWithItsReference) {
  DibHandle dib = DIB_Create(8, 2, 2);
  DibImage view(dib);
  EXPECT_EQ(view.Detach(), dib);
  EXPECT_EQ(view.Header(), nullptr);
  EXPECT_EQ(LockCount(dib), 0);
  EXPECT_EQ(DibRegistry_Count(dib), 1);
  EXPECT_TRUE(platform::host::IsLiveBlock(dib));
  DibRegistry_Release(dib);
  EXPECT_FALSE(platform::host::IsLiveBlock(dib));
}

}  // namespace
