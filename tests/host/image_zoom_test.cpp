#include "pages/image_zoom.h"

#include <gtest/gtest.h>

namespace {

TEST(ImageZoomTest, FitOpensWideImagesReducedAndTheButtonsStepThroughPowersOfTwo) {
  // Twice as wide as the view: 1/2; "+" gives 1x then 2x; "-" back to 1x then 1/2.
  Zoom zoom = FitZoom(400, 300, 800, 100);
  EXPECT_EQ(ZoomText(zoom), "1/2");
  zoom = ZoomIn(zoom);
  EXPECT_EQ(ZoomText(zoom), "1x");
  zoom = ZoomIn(zoom);
  EXPECT_EQ(ZoomText(zoom), "2x");
  zoom = ZoomOut(ZoomOut(zoom));
  EXPECT_EQ(ZoomText(zoom), "1/2");
  EXPECT_EQ(ZoomedLength(800, zoom), 400);
  // Heights count too, an image that fits is never enlarged, nothing stays at 1/1.
  EXPECT_EQ(ZoomText(FitZoom(400, 300, 100, 1300)), "1/8");
  EXPECT_EQ(ZoomText(FitZoom(400, 300, 40, 30)), "1x");
  EXPECT_EQ(ZoomText(FitZoom(0, 0, 0, 0)), "1x");
  EXPECT_EQ(ZoomText(FitZoom(400, 300, 400, 300)), "1x") << "an exact fit";
  EXPECT_EQ(ZoomText(FitZoom(400, 300, 401, 300)), "1/2");
  EXPECT_EQ(ZoomText(FitZoom(400, 300, 801, 300)), "1/2") << "integer division: 801 / 2 is 400";
}

TEST(ImageZoomTest, FactorsStopAtTheBoundAndLengthsStayInRange) {
  Zoom in;
  for (int i = 0; i < 40; ++i) in = ZoomIn(in);
  EXPECT_EQ(in.numerator, kZoomLimit);
  EXPECT_EQ(in.denominator, 1);
  Zoom out;
  for (int i = 0; i < 40; ++i) out = ZoomOut(out);
  EXPECT_EQ(out.denominator, kZoomLimit);
  EXPECT_EQ(ZoomText(out), "1/65536");
  // A huge image in an empty view stops doubling at the bound instead of overflowing.
  EXPECT_EQ(FitZoom(0, 0, 0x7FFFFFFF, 1).denominator, kZoomLimit);
  EXPECT_EQ(ZoomedLength(0x7FFFFFFF, in), 0x7FFFFFFF);
  EXPECT_EQ(ZoomedLength(32767, in), 32767 * 65536);
  EXPECT_EQ(ZoomedLength(3, out), 0);
  EXPECT_EQ(ZoomedLength(3, Zoom{1, 0}), 0);
  EXPECT_EQ(ZoomedLength(3, Zoom{0, 1}), 0);
  EXPECT_EQ(ZoomedLength(-3, Zoom{}), 0);
}

}  // namespace
