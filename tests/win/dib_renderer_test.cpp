// Bitmaps drawn through DrawDib, scaled into a memory device context.
#include "platform/dib_renderer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "imaging/dib.h"
#include "imaging/dib_image.h"

namespace {

constexpr int kCanvas = 8;
constexpr std::uint32_t kBackground = 0x808080;

// A 32-bit top-down canvas selected into a memory device context.
class Canvas {
 public:
  Canvas() {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kCanvas;
    info.bmiHeader.biHeight = -kCanvas;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels_ = static_cast<std::uint32_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    for (int i = 0; i < kCanvas * kCanvas; ++i) pixels_[i] = kBackground;
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  platform::DeviceContext context() const { return dc_; }
  bool ready() const { return dc_ && pixels_; }
  // 0xRRGGBB of the pixel at column x, row y from the top.
  std::uint32_t At(int x, int y) const {
    GdiFlush();
    return pixels_[y * kCanvas + x] & 0xFFFFFF;
  }

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
};

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

// Each 2 x 2 source pixel becomes a 2 x 2 block of the canvas.
void ExpectQuadrants(const Canvas& canvas, std::uint32_t topLeft, std::uint32_t topRight,
                     std::uint32_t bottomLeft, std::uint32_t bottomRight) {
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const std::uint32_t expected =
          y < 2 ? (x < 2 ? topLeft : topRight) : (x < 2 ? bottomLeft : bottomRight);
      EXPECT_EQ(canvas.At(x, y), expected) << "at " << x << "," << y;
    }
  }
  EXPECT_EQ(canvas.At(4, 0), kBackground) << "nothing drawn outside the destination";
  EXPECT_EQ(canvas.At(0, 4), kBackground);
}

TEST(DibRenderer, DrawsATwentyFourBitBitmapScaledTwice) {
  Canvas canvas;
  ASSERT_TRUE(canvas.ready());
  DibImage image;
  ASSERT_TRUE(image.Create(2, 2, 24, 0));
  const unsigned char top[8] = {0, 0, 255, 0, 255, 0};         // red, green (blue first)
  const unsigned char bottom[8] = {255, 0, 0, 255, 255, 255};  // blue, white
  image.WriteRow(0, top);
  image.WriteRow(1, bottom);
  image.Draw(canvas.context(), 0, 0, 2, 1);
  ExpectQuadrants(canvas, kRed, kGreen, kBlue, kWhite);
}

TEST(DibRenderer, DrawsAPalettedTopDownBitmapThroughItsTable) {
  Canvas canvas;
  ASSERT_TRUE(canvas.ready());
  DibImage image;
  ASSERT_TRUE(image.Create(2, -2, 8, 0));
  image.SetColor(1, 255, 0, 0);
  image.SetColor(2, 0, 255, 0);
  image.SetColor(3, 0, 0, 255);
  image.SetColor(4, 255, 255, 255);
  const unsigned char top[4] = {1, 2}, bottom[4] = {3, 4};
  image.WriteRow(0, top);
  image.WriteRow(1, bottom);
  ASSERT_EQ(image.RowAddress(0), image.Bits()) << "top-down";
  image.Draw(canvas.context(), 0, 0, 2, 1);
  ExpectQuadrants(canvas, kRed, kGreen, kBlue, kWhite);
  image.RealizePalette(canvas.context());
}

TEST(DibRenderer, DrawsACoreHeaderBitmap) {
  Canvas canvas;
  ASSERT_TRUE(canvas.ready());
  // 12-byte header, two 3-byte entries, 1-bit rows (bottom-up): 10 / 01.
  const unsigned char bytes[] = {12,   0, 0,   0,   2,    0,   2, 0, 1, 0, 1, 0,  // header
                                 0,    0, 255, 255, 255,  255,                    // red, white
                                 0x40, 0, 0,   0,   0x80, 0,   0, 0};             // bottom, top row
  DibHandle dib = GlobalAlloc(GMEM_MOVEABLE, sizeof(bytes));
  std::memcpy(GlobalLock(dib), bytes, sizeof(bytes));
  GlobalUnlock(dib);
  ASSERT_TRUE(DIB_Draw(dib, canvas.context(), 0, 0, 4, 4, 0, 0));
  ExpectQuadrants(canvas, kWhite, kRed, kRed, kWhite);
  GlobalFree(dib);
}

}  // namespace
