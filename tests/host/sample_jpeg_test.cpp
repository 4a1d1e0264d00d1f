// The Sample Source's own JPEG encoder, checked by decoding its files with
// libjpeg-turbo and comparing with the chart.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "sample_source/image_writers.h"
#include "sample_source/jpeg_writer.h"
#include "tests/host/sample_chart_reference.h"

namespace {

struct Decoded {
  int width = 0;
  int height = 0;
  int components = 0;
  int densityUnit = 0;
  int xDensity = 0;
  int yDensity = 0;
  std::vector<std::uint8_t> pixels;
};

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

// False when libjpeg refuses the data.
bool Decode(const sample::Bytes& file, Decoded& out) {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = [](j_common_ptr common) {
    std::longjmp(reinterpret_cast<ErrorManager*>(common->err)->jump, 1);
  };
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), file.size());
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.components = info.output_components;
  out.densityUnit = info.density_unit;
  out.xDensity = info.X_density;
  out.yDensity = info.Y_density;
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height * out.components);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.pixels.data() + info.output_scanline * out.width * out.components;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

sample::ImageGeometry Geometry(TW_UINT16 pixelType, int width, int height) {
  sample::ImageGeometry g;
  g.width = width;
  g.height = height;
  g.pixelType = pixelType;
  g.bitsPerPixel = pixelType == TWPT_RGB ? 24 : 8;
  g.samplesPerPixel = pixelType == TWPT_RGB ? 3 : 1;
  g.xDpi = 150;
  g.yDpi = 75;
  return g;
}

TEST(SampleJpeg, DecodesToTheChartAtTheNegotiatedSizeAndDensity) {
  for (TW_UINT16 pixelType : {TWPT_GRAY, TWPT_RGB}) {
    SCOPED_TRACE(pixelType);
    const int width = 203, height = 131, page = 4;  // not multiples of eight
    const sample::Bytes file = sample::MakeJfifFile(Geometry(pixelType, width, height), page);
    // The signature image readers recognise JFIF by.
    ASSERT_GT(file.size(), 10u);
    EXPECT_EQ(sample::Bytes(file.begin(), file.begin() + 4),
              (sample::Bytes{0xFF, 0xD8, 0xFF, 0xE0}));
    EXPECT_EQ(std::string(file.begin() + 6, file.begin() + 10), "JFIF");

    Decoded d;
    ASSERT_TRUE(Decode(file, d));
    EXPECT_EQ(d.width, width);
    EXPECT_EQ(d.height, height);
    EXPECT_EQ(d.components, pixelType == TWPT_RGB ? 3 : 1);
    EXPECT_EQ(d.densityUnit, 1);
    EXPECT_EQ(d.xDensity, 150);
    EXPECT_EQ(d.yDensity, 75);

    // Lossy, but close: small mean error over the whole chart, and flat
    // areas (the middle of every bar) nearly exact.
    double totalError = 0;
    int worstFlat = 0;
    const int barY = height * 20 / 100;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const auto c = chart_reference::ExpectedColour(width, height, page, x, y);
        const int expected[3] = {pixelType == TWPT_RGB ? c.r : chart_reference::Gray(c), c.g, c.b};
        for (int k = 0; k < d.components; ++k) {
          const int got = d.pixels[(static_cast<std::size_t>(y) * width + x) * d.components + k];
          const int error = std::abs(got - expected[k]);
          totalError += error;
          const bool barMiddle = y == barY && (x - 2) % 25 > 8 && (x - 2) % 25 < 16;
          if (barMiddle) worstFlat = std::max(worstFlat, error);
        }
      }
    }
    EXPECT_LT(totalError / (width * height * d.components), 1.5);
    EXPECT_LE(worstFlat, 3);
  }
}

TEST(SampleJpeg, OddSizesAndLongRunsOfZeros) {
  // A single pixel, and a flat image whose blocks are all zero runs.
  for (int size : {1, 9, 64}) {
    SCOPED_TRACE(size);
    sample::JpegImage image{size, size, 3, 72, 72};
    const sample::Bytes file = sample::EncodeJpeg(image, [&](int, std::uint8_t* row) {
      for (int i = 0; i < size * 3; ++i) row[i] = 200;
    });
    Decoded d;
    ASSERT_TRUE(Decode(file, d));
    EXPECT_EQ(d.width, size);
    for (std::uint8_t v : d.pixels) EXPECT_NEAR(v, 200, 2);
  }
}

}  // namespace
