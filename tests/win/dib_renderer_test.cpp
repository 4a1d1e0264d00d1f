// Bitmaps drawn through DrawDib, scaled twice into a memory device context.
#include "platform/dib_renderer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "imaging/dib.h"
#include "imaging/dib_image.h"

namespace {

constexpr int kCanvas = 8;
constexpr std::uint32_t kGray = 0x808080, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF,
                        kWhite = 0xFFFFFF;

// Draws the 2 x 2 bitmap at twice its size on a gray 32-bit canvas and
// expects each source pixel as a 2 x 2 block, nothing beyond.
void ExpectDrawnTwice(DibHandle dib, const std::uint32_t (&expected)[4]) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), kCanvas, -kCanvas, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP canvas = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(canvas, nullptr);
  HGDIOBJ old = SelectObject(dc, canvas);
  auto* pixels = static_cast<std::uint32_t*>(bits);
  for (int i = 0; i < kCanvas * kCanvas; ++i) pixels[i] = kGray;

  EXPECT_TRUE(DIB_Draw(dib, dc, 0, 0, 4, 4, 0, 0));
  GdiFlush();
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) {
      const std::uint32_t want = x < 4 && y < 4 ? expected[(y / 2) * 2 + x / 2] : kGray;
      EXPECT_EQ(pixels[y * kCanvas + x] & 0xFFFFFF, want) << "at " << x << "," << y;
    }
  }
  SelectObject(dc, old);
  DeleteObject(canvas);
  DeleteDC(dc);
}

TEST(DibRenderer, DrawsEachKindOfBitmapScaled) {
  DibImage colour;  // 24 bits, bottom-up, blue first
  ASSERT_TRUE(colour.Create(2, 2, 24, 0));
  const unsigned char redGreen[8] = {0, 0, 255, 0, 255, 0},
                      blueWhite[8] = {255, 0, 0, 255, 255, 255};
  colour.WriteRow(0, redGreen);
  colour.WriteRow(1, blueWhite);
  ExpectDrawnTwice(colour.Handle(), {kRed, kGreen, kBlue, kWhite});

  DibImage paletted;  // 8 bits, top-down, through its table
  ASSERT_TRUE(paletted.Create(2, -2, 8, 0));
  paletted.SetColor(1, 255, 0, 0);
  paletted.SetColor(2, 0, 255, 0);
  paletted.SetColor(3, 0, 0, 255);
  const unsigned char top[4] = {1, 2}, bottom[4] = {3, 255};
  paletted.WriteRow(0, top);
  paletted.WriteRow(1, bottom);
  ExpectDrawnTwice(paletted.Handle(), {kRed, kGreen, kBlue, kWhite});

  // A 12-byte core header with two 3-byte entries and 1-bit rows 01 (bottom), 10 (top).
  const unsigned char core[] = {12, 0,   0,   0,   2,   0,    2, 0, 1, 0,    1, 0, 0,
                                0,  255, 255, 255, 255, 0x40, 0, 0, 0, 0x80, 0, 0, 0};
  DibHandle dib = GlobalAlloc(GMEM_MOVEABLE, sizeof(core));
  std::memcpy(GlobalLock(dib), core, sizeof(core));
  GlobalUnlock(dib);
  ExpectDrawnTwice(dib, {kWhite, kRed, kRed, kWhite});
  GlobalFree(dib);
}

// Mean brightness (0 to 255) of the picture drawn at 1/n of its size into
// a black 32-bit canvas of just that size.
double MeanDrawnAt(const DibImage& picture, int n) {
  const int width = picture.Width() / n, height = picture.Height() / n;
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP canvas = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, canvas);
  auto* pixels = static_cast<std::uint32_t*>(bits);
  std::fill(pixels, pixels + width * height, 0u);
  EXPECT_TRUE(DIB_Draw(picture.Handle(), dc, 0, 0, width, height, 0, 0));
  GdiFlush();
  double sum = 0;
  for (int i = 0; i < width * height; ++i) {
    sum += ((pixels[i] & 0xFF) + (pixels[i] >> 8 & 0xFF) + (pixels[i] >> 16 & 0xFF)) / 3.0;
  }
  SelectObject(dc, old);
  DeleteObject(canvas);
  DeleteDC(dc);
  return sum / (width * height);
}

// Zoomed out, a mid-grey picture and a fine black and white pattern keep
// their tones instead of darkening, in colour and in gray.
TEST(DibRenderer, ScaledDownPicturesKeepTheirMeanBrightness) {
  constexpr int kSize = 64;
  for (int depth : {8, 24}) {
    for (bool checked : {false, true}) {
      DibImage picture;
      ASSERT_TRUE(picture.Create(kSize, kSize, depth, 0));
      const int bytes = depth / 8;
      for (int y = 0; y < kSize; ++y) {
        unsigned char row[kSize * 3];
        for (int x = 0; x < kSize * bytes; ++x) {
          const bool white = (x / bytes + y) % 2 == 0;
          row[x] = checked ? (white ? 255 : 0) : 128;
        }
        picture.WriteRow(y, row);
      }
      for (int n : {2, 4, 8}) {
        EXPECT_NEAR(MeanDrawnAt(picture, n), checked ? 127.5 : 128, 6)
            << depth << " bits, " << (checked ? "checked" : "grey") << ", 1/" << n;
      }
    }
  }
}

}  // namespace
