// The test chart's pixels in every pixel type and bit depth, as the native
// bitmap, the memory rows and the BMP file carry them, checked against the
// chart worked out independently in sample_chart_reference.h.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/host/host_platform.h"
#include "platform/memory.h"
#include "sample_source/image_writers.h"
#include "sample_source/test_chart.h"
#include "tests/host/sample_chart_reference.h"

namespace {

struct Config {
  TW_UINT16 pixelType;
  int bits;
};
constexpr Config kConfigs[] = {{TWPT_BW, 1},   {TWPT_GRAY, 4},    {TWPT_GRAY, 8},
                               {TWPT_RGB, 24}, {TWPT_PALETTE, 4}, {TWPT_PALETTE, 8}};
struct Size {
  int width;
  int height;
  int page;
};
constexpr Size kSizes[] = {{1, 1, 1}, {37, 23, 7}, {425, 550, 12}};

sample::ImageGeometry Geometry(Config c, Size s) {
  sample::ImageGeometry g;
  g.width = s.width;
  g.height = s.height;
  g.pixelType = c.pixelType;
  g.bitsPerPixel = c.bits;
  g.samplesPerPixel = c.pixelType == TWPT_RGB ? 3 : 1;
  g.xDpi = 100;
  g.yDpi = 300;
  return g;
}

std::string Name(Config c, Size s) {
  return "type " + std::to_string(c.pixelType) + ", " + std::to_string(c.bits) + " bits, " +
         std::to_string(s.width) + " x " + std::to_string(s.height);
}

TEST(SampleChart, NativeBitmapMatchesTheChartInEveryConfiguration) {
  for (const Config& c : kConfigs) {
    for (const Size& s : kSizes) {
      SCOPED_TRACE(Name(c, s));
      const sample::ImageGeometry g = Geometry(c, s);
      platform::MemoryHandle image = sample::MakeNativeImage(g, s.page);
      ASSERT_NE(image, nullptr);
      {
        platform::MemLockGuard lock(image);
        const auto* dib = static_cast<const std::uint8_t*>(lock.data());
        const auto view = chart_reference::ReadDib(dib, platform::MemSize(image));
        ASSERT_EQ(view.width, s.width);
        ASSERT_EQ(view.height, s.height);
        ASSERT_EQ(view.bits, c.bits);
        EXPECT_EQ(view.palette.size(), c.pixelType == TWPT_RGB ? 0u : 1u << c.bits);
        const auto expected = chart_reference::ExpectedValues(s.width, s.height, s.page,
                                                              c.pixelType, c.bits, view.palette);
        EXPECT_EQ(chart_reference::Fnv1a(view.values), chart_reference::Fnv1a(expected));
        BitmapInfoHeader header;
        std::memcpy(&header, dib, sizeof(header));
        EXPECT_EQ(header.biXPelsPerMeter, 3937);
        EXPECT_EQ(header.biYPelsPerMeter, 11811);
        EXPECT_EQ(header.biSizeImage, platform::MemSize(image) - 40 - view.palette.size() * 4);
      }
      platform::MemFree(image);
    }
  }
  EXPECT_EQ(platform::host::GetMemoryStats().liveBlocks, 0);
}

TEST(SampleChart, MemoryRowsAreTopDownRedFirstInEveryConfiguration) {
  const Size s{101, 57, 3};
  for (const Config& c : kConfigs) {
    SCOPED_TRACE(Name(c, s));
    const sample::ImageGeometry g = Geometry(c, s);
    const std::size_t stride = sample::PaddedRowBytes(s.width, c.bits) + 3;  // any stride
    std::vector<std::uint8_t> rows(stride * s.height, 0xEE);
    // Two strips, as a memory transfer would ask for them.
    sample::RenderRows(g, s.page, 0, 20, stride, rows.data());
    sample::RenderRows(g, s.page, 20, s.height - 20, stride, rows.data() + 20 * stride);
    std::vector<std::uint8_t> values;
    for (int y = 0; y < s.height; ++y) {
      for (int x = 0; x < s.width; ++x) {
        chart_reference::AppendPixel(rows.data() + y * stride, x, c.bits, false, values);
      }
    }
    std::vector<chart_reference::Colour> palette;
    const sample::Palette table = sample::PaletteFor(c.pixelType, c.bits);
    for (int i = 0; i < table.count; ++i) {
      palette.push_back({table.colours[i].r, table.colours[i].g, table.colours[i].b});
    }
    EXPECT_EQ(values, chart_reference::ExpectedValues(s.width, s.height, s.page, c.pixelType,
                                                      c.bits, palette));
  }
}

TEST(SampleChart, ChartShowsItsPartsWhereTheyBelong) {
  const int w = 400, h = 200;
  std::vector<sample::Rgb> row(w);
  sample::RenderChartRow(w, h, 5, 0, row.data());
  EXPECT_EQ(row[w / 2], (sample::Rgb{0, 0, 0}));  // border
  sample::RenderChartRow(w, h, 5, h * 20 / 100, row.data());
  EXPECT_EQ(row[2 + 396 * 3 / 16], (sample::Rgb{255, 255, 0}));  // the second bar
  sample::RenderChartRow(w, h, 5, h / 2, row.data());
  EXPECT_EQ(row[w - 3], (sample::Rgb{255, 255, 255}));  // the last gray step
  int black = 0;
  for (int y = h * 84 / 100; y < h * 96 / 100; ++y) {
    sample::RenderChartRow(w, h, 5, y, row.data());
    for (int x = 2; x < w - 2; ++x) black += row[x] == sample::Rgb{0, 0, 0};
  }
  EXPECT_EQ(black, 17 * 2 * 2);  // the 17 dots of a "5", each 2 x 2
}

TEST(SampleChart, BmpFileIsAFileHeaderBeforeTheNativeBitmap) {
  const sample::ImageGeometry g = Geometry({TWPT_PALETTE, 8}, {64, 48, 2});
  const sample::Bytes file = sample::MakeBmpFile(g, 2);
  sample::BitmapFileHeader header;
  std::memcpy(&header, file.data(), sizeof(header));
  EXPECT_EQ(std::string(header.bfType, 2), "BM");
  EXPECT_EQ(std::uint32_t{header.bfSize}, file.size());
  EXPECT_EQ(std::uint32_t{header.bfOffBits}, 14u + 40 + 256 * 4);
  std::vector<std::uint8_t> dib(sample::DibSize(g));
  sample::WriteDib(g, 2, dib.data());
  EXPECT_TRUE(std::equal(dib.begin(), dib.end(), file.begin() + 14, file.end()));
}

}  // namespace
