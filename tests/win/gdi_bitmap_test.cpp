// GDI bitmaps a Source hands back instead of a DIB: read into a packed DIB
// the right way up at every depth, even while still selected into the
// Source's device context, and deleted.
#include "platform/gdi_bitmap.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "imaging/dib_image.h"
#include "platform/memory.h"

namespace {

TEST(GdiBitmapTest, EachDepthBecomesAnUprightDibAndTheBitmapIsDeleted) {
  platform::MemoryHandle block = platform::MemAlloc(64);
  EXPECT_FALSE(platform::IsGdiBitmap(block)) << "a memory block is no bitmap";
  platform::MemFree(block);
  for (int depth : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(depth);
    // 5 x 3, top-down: the top-left pixel is white (entry 1), the rest black.
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colours[256];
    } info{{sizeof(BITMAPINFOHEADER), 5, -3, 1, static_cast<WORD>(depth), BI_RGB, 0, 0, 0, 0, 0},
           {{0, 0, 0, 0}, {255, 255, 255, 0}}};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    auto* pixels = static_cast<unsigned char*>(bits);
    std::memset(pixels, 0, 3 * ((5 * depth + 31) / 32 * 4));
    if (depth <= 8) pixels[0] = static_cast<unsigned char>(1 << (8 - depth));
    if (depth > 8) std::memset(pixels, depth == 16 ? 0x7F : 0xFF, depth / 8);
    GdiFlush();
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ original = SelectObject(dc, bitmap);

    ASSERT_TRUE(platform::IsGdiBitmap(bitmap));
    DibImage image(platform::TakeGdiBitmap(bitmap));
    SelectObject(dc, original);
    DeleteDC(dc);
    EXPECT_EQ(GetObjectType(bitmap), 0u) << "the bitmap is deleted";
    ASSERT_EQ(image.Check(), DibCheck::kOk);
    EXPECT_EQ(image.Width(), 5);
    EXPECT_EQ(image.Height(), 3);
    EXPECT_EQ(image.Depth(), depth);
    EXPECT_NE(image.RowAddress(0)[0], 0) << "the top row is on top";
    EXPECT_EQ(image.RowAddress(2)[0], 0);
    EXPECT_EQ(image.Color(1), depth <= 8 ? 0xFFFFFFu : 0u);
  }
}

}  // namespace
