// The Sample Source's image layout, image information and palette: frames
// clipped to the glass, units, and the image the settings describe.
#include <gtest/gtest.h>

#include "sample_source/device_settings.h"
#include "tests/host/sample_source_harness.h"

namespace {

using sample::DeviceSettings;
using sample::FrameInches;
using sample_test::Harness;
using sample_test::Val;

TEST(SampleLayout, FramesAreClippedToTheGlassOrRefusedWhenEmpty) {
  struct Case {
    FrameInches frame;
    TW_UINT16 rc;
    FrameInches stored;
  };
  const Case cases[] = {
      {{1, 2, 5, 7}, TWRC_SUCCESS, {1, 2, 5, 7}},
      {{-1, 0, 9, 15}, TWRC_CHECKSTATUS, {0, 0, 8.5, 14}},
      {{0, 0, 8.5004, 14}, TWRC_SUCCESS, {0, 0, 8.5, 14}},  // FIX32 noise is not a change
      {{5, 0, 5, 3}, TWRC_FAILURE, {0, 0, 8.5, 14}},
      {{3, 4, 2, 6}, TWRC_FAILURE, {0, 0, 8.5, 14}},
      {{8.45, 0, 12, 3}, TWRC_FAILURE, {0, 0, 8.5, 14}},  // 0.05 inch left on the glass
  };
  DeviceSettings s;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frame.left);
    const sample::Outcome outcome = sample::SetFrame(s, c.frame);
    EXPECT_EQ(outcome.rc, c.rc);
    EXPECT_EQ(outcome.cc, c.rc == TWRC_FAILURE ? TWCC_BADVALUE : TWCC_SUCCESS);
    EXPECT_NEAR(s.frame.left, c.stored.left, 1e-9);
    EXPECT_NEAR(s.frame.right, c.stored.right, 1e-9);
    EXPECT_NEAR(s.frame.bottom, c.stored.bottom, 1e-9);
  }
  EXPECT_EQ(s.supportedSize, TWSS_NONE);
}

TEST(SampleLayout, GeometryAndImageInfoFollowFrameResolutionAndPixelType) {
  DeviceSettings s;
  s.frame = {0.5, 1, 2.5, 2};
  s.xDpi = 150;
  s.yDpi = 75;
  s.pixelType = TWPT_PALETTE;
  s.bitDepth = 4;
  s.units = TWUN_CENTIMETERS;
  const TW_IMAGEINFO info = sample::ImageInfoOf(s);
  EXPECT_EQ(Val(info.ImageWidth), 300);
  EXPECT_EQ(Val(info.ImageLength), 75);
  EXPECT_EQ(Val(info.BitsPerPixel), 4);
  EXPECT_EQ(Val(info.SamplesPerPixel), 1);
  EXPECT_EQ(Val(info.BitsPerSample[0]), 4);
  EXPECT_EQ(Val(info.PixelType), TWPT_PALETTE);
  EXPECT_NEAR(sample::FromFix32(info.XResolution), 150 / 2.54, 1e-4);
  s.pixelType = TWPT_RGB;
  s.bitDepth = 24;
  const TW_IMAGEINFO rgb = sample::ImageInfoOf(s);
  EXPECT_EQ(Val(rgb.SamplesPerPixel), 3);
  EXPECT_EQ(Val(rgb.BitsPerSample[2]), 8);
  EXPECT_EQ(Val(rgb.BitsPerPixel), 24);
  // However small the frame, the image has a pixel.
  s.frame = {0, 0, 0.001, 0.001};
  EXPECT_EQ(sample::GeometryOf(s).width, 1);
}

TEST(SampleLayout, LayoutTripletsGetSetResetAndDefault) {
  Harness h;
  ASSERT_EQ(h.Open(), TWRC_SUCCESS);
  TW_IMAGELAYOUT layout{};
  ASSERT_EQ(h.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
  EXPECT_EQ(sample::FromFix32(layout.Frame.Right), 8.5);
  EXPECT_EQ(sample::FromFix32(layout.Frame.Bottom), 11);
  EXPECT_EQ(Val(layout.PageNumber), 1u);

  layout.Frame.Left = sample::ToFix32(0.1);
  layout.Frame.Right = sample::ToFix32(20);  // beyond the glass
  layout.DocumentNumber = 4;
  EXPECT_EQ(h.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_CHECKSTATUS);
  TW_IMAGELAYOUT after{};
  ASSERT_EQ(h.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &after), TWRC_SUCCESS);
  EXPECT_NEAR(sample::FromFix32(after.Frame.Left), 0.1, 1e-4);
  EXPECT_EQ(sample::FromFix32(after.Frame.Right), 8.5);
  EXPECT_EQ(Val(after.DocumentNumber), 4u);

  layout.Frame.Right = layout.Frame.Left;
  EXPECT_EQ(h.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_BADVALUE);

  TW_IMAGELAYOUT byDefault{};
  ASSERT_EQ(h.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT, &byDefault), TWRC_SUCCESS);
  EXPECT_EQ(sample::FromFix32(byDefault.Frame.Left), 0);
  EXPECT_EQ(h.source().settings().documentNumber, 4u);  // a get changes nothing
  ASSERT_EQ(h.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, &after), TWRC_SUCCESS);
  EXPECT_EQ(Val(after.DocumentNumber), 1u);
  EXPECT_EQ(h.source().settings().frame.left, 0);
  EXPECT_EQ(h.source().settings().supportedSize, TWSS_USLETTER);
}

TEST(SampleLayout, PaletteDescribesTheColourTableOfGrayAndPaletteImages) {
  Harness h;
  ASSERT_EQ(h.Open(), TWRC_SUCCESS);
  TW_PALETTE8 palette{};
  EXPECT_EQ(h.Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette), TWRC_FAILURE);  // RGB
  ASSERT_EQ(h.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
  ASSERT_EQ(h.SetOne(ICAP_BITDEPTH, TWTY_UINT16, 4), TWRC_SUCCESS);
  ASSERT_EQ(h.Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette), TWRC_SUCCESS);
  EXPECT_EQ(Val(palette.NumColors), 16);
  EXPECT_EQ(Val(palette.PaletteType), TWPA_GRAY);
  EXPECT_EQ(palette.Colors[15].Channel1, 255);
  EXPECT_EQ(palette.Colors[1].Channel2, 17);
  ASSERT_EQ(h.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_PALETTE), TWRC_SUCCESS);
  ASSERT_EQ(h.Call(DG_IMAGE, DAT_PALETTE8, MSG_GETDEFAULT, &palette), TWRC_SUCCESS);
  EXPECT_EQ(Val(palette.NumColors), 256);
  EXPECT_EQ(Val(palette.PaletteType), TWPA_RGB);
  // After the sixteen grays come the chart's bars: white, then yellow.
  EXPECT_EQ(palette.Colors[17].Index, 17);
  EXPECT_EQ(palette.Colors[17].Channel1, 255);
  EXPECT_EQ(palette.Colors[17].Channel3, 0);
}

}  // namespace
