#include "pages/palette_swatch.h"

#include <gtest/gtest.h>

#include "platform/host/host_platform.h"
#include "tests/host/bitmap_builder.h"

namespace {

TEST(PaletteSwatchTest, TablesFillTheirCellsAndWhiteTheRest) {
  // 1 bit: black and white, then 254 white cells; entry 2 is not in the palette.
  DibHandle oneBit = DIB_Create(1, 8, 1);
  SwatchColors swatch = SwatchColorsOf(oneBit);
  EXPECT_EQ(swatch.count, 2);
  EXPECT_EQ(swatch.colors[0], 0u);
  EXPECT_EQ(swatch.colors[1], 0xFFFFFFu);
  EXPECT_EQ(swatch.colors[2], kSwatchWhite);
  EXPECT_EQ(SwatchEntryText(swatch, 0), "color 0: R(  0) G(  0) B(  0)");
  EXPECT_EQ(SwatchEntryText(swatch, 2), "color 2: not in palette.");
  EXPECT_TRUE(SwatchShown(oneBit));

  // 4-bit gray: the ramp 0, 17, ... 255.
  DibHandle gray4 = DIB_Create(4, 2, 1);
  swatch = SwatchColorsOf(gray4);
  EXPECT_EQ(swatch.colors[1], 0x111111u);
  EXPECT_EQ(SwatchEntryText(swatch, 15), "color 15: R(255) G(255) B(255)");

  // 8 bits with biClrUsed 16: sixteen of the image's colours (red 3i, green 5i, blue 7i).
  DibHandle used16 = test::ToBlock(test::PackedBitmap(test::Complete({40, 2, 2, 8, 0, 16})));
  swatch = SwatchColorsOf(used16);
  EXPECT_EQ(swatch.count, 16);
  EXPECT_EQ(SwatchEntryText(swatch, 15), "color 15: R( 45) G( 75) B(105)");
  EXPECT_EQ(swatch.colors[16], kSwatchWhite);
  EXPECT_EQ(SwatchEntryText(swatch, 16), "color 16: not in palette.");
  EXPECT_TRUE(SwatchShown(used16));

  // biClrUsed above 256: the count says so, the grid holds the first 256.
  DibHandle used300 = test::ToBlock(test::PackedBitmap(test::Complete({40, 2, 2, 8, 0, 300})));
  swatch = SwatchColorsOf(used300);
  EXPECT_EQ(swatch.count, 300);
  EXPECT_EQ(SwatchEntryText(swatch, 255), "color 255: R(253) G(251) B(249)");
  EXPECT_EQ(SwatchEntryText(swatch, 256), "color 256: not in palette.");
  platform::MemFree(used300);

  // 24 bits and no image: no grid; a table that reaches past its block reads as none.
  DibHandle rgb = DIB_Create(24, 2, 2);
  EXPECT_FALSE(SwatchShown(rgb));
  EXPECT_FALSE(SwatchShown(nullptr));
  EXPECT_EQ(SwatchColorsOf(rgb).count, 0);
  DibHandle cut = test::ToBlock(test::PackedBitmap({40, 2, 2, 8, 0, 256, 10}));
  EXPECT_EQ(SwatchColorsOf(cut).count, 0);
  EXPECT_FALSE(SwatchShown(cut));

  for (DibHandle block : {oneBit, gray4, used16, rgb, cut}) platform::MemFree(block);
  EXPECT_EQ(platform::host::GetMemoryStats().outstandingLocks, 0);
}

TEST(PaletteSwatchTest, ClicksSelectTheCellUnderThemRowByRow) {
  EXPECT_EQ(SwatchCellSize(166, 150), 9) << "the smaller side decides";
  EXPECT_EQ(SwatchCellSize(15, 200), 0);
  EXPECT_EQ(SwatchIndexAt(0, 0, 9), 0);
  EXPECT_EQ(SwatchIndexAt(9 * 15 + 8, 9, 9), 31);
  EXPECT_EQ(SwatchIndexAt(9 * 16, 0, 9), 16) << "right of the grid reaches the next row";
  EXPECT_EQ(SwatchIndexAt(9 * 15, 9 * 15, 9), 255);
  EXPECT_EQ(SwatchIndexAt(0, 9 * 16, 9), -1) << "below the grid";
  EXPECT_EQ(SwatchIndexAt(5, 5, 0), -1) << "no cells";
  EXPECT_EQ(SwatchIndexAt(5, -1, 9), -1) << "above the grid";
  EXPECT_EQ(SwatchIndexAt(-1, 5, 9), -1) << "left of the grid";
  EXPECT_EQ(SwatchIndexAt(0, 9, 9), 16) << "the second row's first cell";
}

}  // namespace
