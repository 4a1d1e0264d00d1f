#include "imaging/dib_image.h"

#include <gtest/gtest.h>

#include <tuple>

#include "imaging/dib_registry.h"
#include "platform/host/host_platform.h"
#include "tests/host/bitmap_builder.h"

namespace {

using platform::host::GetMemoryStats;
using platform::host::LockCount;
using test::Complete;
using test::PackedBitmap;
using test::ToBlock;

TEST(DibImageTest, AttachReadsTheHeaderAndAddressesRowsFromTheTop) {
  std::vector<unsigned char> bytes = PackedBitmap(Complete({108, 6, -4, 8, 0, 20}));
  const std::int32_t ppm[2] = {11811, 2835};
  std::memcpy(bytes.data() + 24, ppm, sizeof(ppm));
  DibHandle dib = ToBlock(bytes);
  {
    DibImage view(dib);
    EXPECT_EQ(LockCount(dib), 1) << "locked while attached";
    EXPECT_STREQ(view.HeaderKindName(), "BITMAPV4HEADER");
    EXPECT_EQ(std::make_tuple(view.Width(), view.Height(), view.Planes()),
              std::make_tuple(6, 4, 1));
    EXPECT_EQ(view.ColorCount(), 20);
    EXPECT_EQ(view.XDotsPerInch(), 300);
    EXPECT_NEAR(view.YDotsPerInch(), 72.009, 1e-9);
    EXPECT_EQ(view.Bits(), static_cast<const unsigned char*>(view.Header()) + 108 + 80);
    EXPECT_EQ(view.RowAddress(0), view.Bits()) << "top-down: row 0 first";
    EXPECT_EQ(view.RowAddress(4), nullptr);

    DibImage bottomUp(ToBlock(PackedBitmap(Complete({40, 3, 2, 24}))));
    EXPECT_STREQ(bottomUp.HeaderKindName(), "BITMAPINFOHEADER (basic)");
    EXPECT_EQ(bottomUp.RowAddress(0), bottomUp.Bits() + 12) << "bottom-up: row 0 last";
  }
  EXPECT_FALSE(platform::host::IsLiveBlock(dib)) << "the only view let go";
  EXPECT_EQ(DIB_DotsPerInch(3780), 100);
  EXPECT_EQ(DIB_DotsPerInch(0), 0);
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST(DibImageTest, ReadsAndWritesColoursInsideTheTableOnly) {
  DibImage view(ToBlock(PackedBitmap(Complete({40, 2, 2, 8, 0, 4}))));
  EXPECT_EQ(view.Color(2), 6u | 10u << 8 | 14u << 16);
  view.SetColor(1, 0x00332211);
  EXPECT_EQ(static_cast<const unsigned char*>(view.Header())[40 + 4], 0x33) << "blue first";
  view.SetColor(3, 255, 128, 1);
  EXPECT_EQ(view.Color(3), 255u | 128u << 8 | 1u << 16);
  // Past the table lie the pixels, or the end of the block.
  const unsigned char firstPixel = *view.Bits();
  view.SetColor(4, 0xFFFFFF);
  view.SetColor(-1, 0xFFFFFF);
  EXPECT_EQ(*view.Bits(), firstPixel);
  EXPECT_EQ(view.Color(1000000), 0u);

  DibImage core(ToBlock(PackedBitmap(Complete({12, 2, 2, 1}))));  // 3-byte entries
  core.SetColor(0, 1, 2, 3);
  EXPECT_EQ(core.Color(0), 1u | 2u << 8 | 3u << 16);
  EXPECT_EQ(core.Color(1), 3u | 5u << 8 | 7u << 16);
}

TEST(DibImageTest, CreateMakesARampedBitmapAndWritesUnpaddedRows) {
  DibImage view;
  ASSERT_TRUE(view.Create(16, 16, 8, 2835));
  EXPECT_EQ(view.Color(17), 17u * 0x010101u);
  EXPECT_EQ(view.YPelsPerMeter(), 2835) << "-1 stands for the x value";
  ASSERT_TRUE(view.Create(5, -2, 4, 100, 200));  // 3 bytes a row, padded to 4; top-down
  EXPECT_EQ(view.YPelsPerMeter(), 200);
  EXPECT_EQ(GetMemoryStats().liveBlocks, 1) << "the first bitmap was freed";
  unsigned char* row = view.RowAddress(1);
  EXPECT_EQ(row, view.Bits() + 4);
  std::memset(row, 0xEE, 4);
  const unsigned char source[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  view.WriteRow(1, source);
  view.WriteRow(2, source);
  EXPECT_EQ(row[2], 3);
  EXPECT_EQ(row[3], 0xEE);
  // Depths no bitmap has are refused and leave nothing behind.
  EXPECT_FALSE(view.Create(4, 4, 3, 0));
  EXPECT_EQ(view.Handle(), nullptr);
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
  ASSERT_TRUE(view.Create(4, 4, 1, 0));
  EXPECT_EQ(view.Color(1), 0xFFFFFFu) << "a two-entry ramp";
  EXPECT_FALSE(view.Create(4, 4, -1, 0));
  EXPECT_EQ(view.Handle(), nullptr) << "the earlier bitmap goes too";
  platform::host::FailAllocations(1);
  EXPECT_FALSE(view.Create(4, 4, 8, 0));
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
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
  const auto rect = [](const platform::DrawRect& r) {
    return std::make_tuple(r.x, r.y, r.width, r.height);
  };
  EXPECT_EQ(rect(draws[0].destination), std::make_tuple(4, 5, 150, 100));
  // Made smaller, it reaches the renderer already reduced (32 bits) and is drawn 1:1.
  EXPECT_EQ(rect(draws[0].source), std::make_tuple(0, 0, 150, 100));
  EXPECT_EQ(draws[0].info[14], 32);
  EXPECT_EQ(rect(draws[1].source), std::make_tuple(0, 0, 300, 200));
  EXPECT_EQ(rect(draws[1].destination), std::make_tuple(0, 0, 1200, 800));
  platform::host::SetDibRealizeResult(12);
  EXPECT_EQ(view.RealizePalette(&context), 12u);
}

TEST(DibImageTest, ABitmapThatDoesNotFitShowsAsNoImageButStaysOwned) {
  std::vector<unsigned char> bytes = PackedBitmap(Complete({40, 4, 4, 24}));
  bytes.pop_back();
  DibHandle dib = ToBlock(bytes);
  DibImage view;
  EXPECT_FALSE(view.Attach(dib));
  EXPECT_EQ(view.Check(), DibCheck::kPixelsOutside);
  EXPECT_EQ(view.Handle(), dib);
  EXPECT_EQ(view.Width(), 0);
  EXPECT_STREQ(view.HeaderKindName(), "null");
  EXPECT_EQ(view.RowAddress(0), nullptr);
  EXPECT_EQ(LockCount(dib), 0);
  EXPECT_EQ(DibRegistry_Count(dib), 1);
  view.Free();
  EXPECT_FALSE(platform::host::IsLiveBlock(dib));
}

}  // namespace
