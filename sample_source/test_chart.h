// The test chart the Source scans: a black border, eight colour bars, sixteen
// gray steps, fine lines of one to four pixels and the page number, laid out
// in fractions of the image so it draws at any size; and the conversion of
// its colours to the pixels of each pixel type and bit depth.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "sample_source/device_settings.h"

namespace sample {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  bool operator==(const Rgb&) const = default;
};

// Bands as percentages of the height: [top, bottom).
struct ChartBand {
  int top;
  int bottom;
};
constexpr ChartBand kBarsBand{8, 35};
constexpr ChartBand kStepsBand{40, 60};
constexpr ChartBand kLinesBand{65, 80};
constexpr ChartBand kNumberBand{84, 96};
constexpr int kBarCount = 8;
constexpr int kStepCount = 16;
constexpr int kLineGroups = 4;
constexpr Rgb kBarColours[kBarCount] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                        {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
// 5 x 7 digits, a byte a row, bit 4 the leftmost column.
extern const std::uint8_t kDigitGlyphs[10][7];

// Border thickness in pixels.
int ChartBorder(int width, int height);
// Row y (0 at the top) of the chart of page `page`, `width` pixels.
void RenderChartRow(int width, int height, int page, int y, Rgb* row);

std::uint8_t Luminance(Rgb colour);

struct Palette {
  int count = 0;
  std::array<Rgb, 256> colours{};
};
// The colour table of black-and-white, gray and palette images; empty for RGB.
Palette PaletteFor(TW_UINT16 pixelType, int bitsPerPixel);

// Bytes of a row of packed pixels, and the same padded to four bytes as
// bitmaps and this Source's memory strips lay rows out.
std::size_t PackedRowBytes(int width, int bitsPerPixel);
std::size_t PaddedRowBytes(int width, int bitsPerPixel);

// Turns chart rows into the image's pixels: 1-bit black 0 and white 1, gray
// by luminance, palette indices of the nearest colour, RGB as red, green,
// blue (or blue first, as bitmaps store it).
class PixelPacker {
 public:
  PixelPacker(const ImageGeometry& geometry, bool blueFirst);
  // Writes PackedRowBytes of pixels; padding is the caller's.
  void Pack(const Rgb* row, std::uint8_t* out);
  const Palette& palette() const { return palette_; }

 private:
  std::uint8_t IndexOf(Rgb colour);

  int width_;
  int bitsPerPixel_;
  TW_UINT16 pixelType_;
  bool blueFirst_;
  Palette palette_;
  std::unordered_map<std::uint32_t, std::uint8_t> nearest_;
};

}  // namespace sample
