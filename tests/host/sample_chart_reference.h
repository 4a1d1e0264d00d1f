// The Sample Source's test chart worked out pixel by pixel, apart from the
// Source's own renderer, so tests can check what a transfer delivered. Used by
// the host tests and the end-to-end tests. Pixels are reduced to "values":
// three bytes red, green, blue for RGB, one byte (gray level, bit or palette
// index) for the others, top row first.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "sample_source/test_chart.h"

namespace chart_reference {

struct Colour {
  int r, g, b;
};

inline Colour ExpectedColour(int width, int height, int page, int x, int y) {
  const Colour black{0, 0, 0}, white{255, 255, 255};
  const int border = std::max(1, std::min(width, height) / 100);
  if (x < border || y < border || x >= width - border || y >= height - border) return black;
  const int inner = width - 2 * border;
  const int offset = x - border;
  if (y >= height * sample::kBarsBand.top / 100 && y < height * sample::kBarsBand.bottom / 100) {
    const sample::Rgb c = sample::kBarColours[offset * sample::kBarCount / inner];
    return {c.r, c.g, c.b};
  }
  if (y >= height * sample::kStepsBand.top / 100 && y < height * sample::kStepsBand.bottom / 100) {
    const int level = offset * sample::kStepCount / inner * 17;
    return {level, level, level};
  }
  if (y >= height * sample::kLinesBand.top / 100 && y < height * sample::kLinesBand.bottom / 100) {
    const int lineWidth = offset * sample::kLineGroups / inner + 1;
    return (offset / lineWidth) % 2 == 0 ? black : white;
  }
  const int top = height * sample::kNumberBand.top / 100;
  const int bandHeight = height * sample::kNumberBand.bottom / 100 - top;
  if (y < top || y >= top + bandHeight) return white;
  const int scale = std::max(1, bandHeight / 9);
  const std::string digits = std::to_string(page);
  const int textWidth = static_cast<int>(digits.size()) * 6 * scale - scale;
  const int left = (width - textWidth) / 2;
  const int glyphTop = top + (bandHeight - 7 * scale) / 2;
  if (x < left || y < glyphTop || y >= glyphTop + 7 * scale) return white;
  const int column = (x - left) / scale;
  const std::size_t digit = static_cast<std::size_t>(column / 6);
  if (digit >= digits.size() || column % 6 == 5) return white;
  const int bits = sample::kDigitGlyphs[digits[digit] - '0'][(y - glyphTop) / scale];
  return (bits >> (4 - column % 6)) & 1 ? black : white;
}

inline int Gray(Colour c) {
  return (299 * c.r + 587 * c.g + 114 * c.b + 500) / 1000;
}

// The palette index nearest to the colour, the first of equals.
inline int Nearest(const std::vector<Colour>& palette, Colour c) {
  int best = 0;
  long bestDistance = -1;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const long dr = palette[i].r - c.r, dg = palette[i].g - c.g, db = palette[i].b - c.b;
    const long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) {
      best = static_cast<int>(i);
      bestDistance = d;
    }
  }
  return best;
}

// pixelType: 0 black and white, 1 gray, 2 RGB, 3 palette (the TWPT_ codes).
inline std::vector<std::uint8_t> ExpectedValues(int width, int height, int page, int pixelType,
                                                int bits, const std::vector<Colour>& palette) {
  std::vector<std::uint8_t> values;
  std::map<int, int> nearest;  // the chart has few colours
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Colour c = ExpectedColour(width, height, page, x, y);
      if (pixelType == 2) {
        values.insert(values.end(), {std::uint8_t(c.r), std::uint8_t(c.g), std::uint8_t(c.b)});
      } else if (pixelType == 3) {
        const int key = c.r << 16 | c.g << 8 | c.b;
        if (!nearest.count(key)) nearest[key] = Nearest(palette, c);
        values.push_back(static_cast<std::uint8_t>(nearest[key]));
      } else if (bits == 1) {
        values.push_back(Gray(c) >= 128 ? 1 : 0);
      } else {
        values.push_back(static_cast<std::uint8_t>(Gray(c) >> (8 - bits)));
      }
    }
  }
  return values;
}

// Values of pixel x of a packed row of `bits` per pixel; RGB rows are red
// first unless blueFirst.
inline void AppendPixel(const std::uint8_t* row, int x, int bits, bool blueFirst,
                        std::vector<std::uint8_t>& values) {
  if (bits == 24) {
    const std::uint8_t* p = row + 3 * x;
    values.insert(values.end(), {blueFirst ? p[2] : p[0], p[1], blueFirst ? p[0] : p[2]});
    return;
  }
  const int perByte = 8 / bits;
  const int shift = (perByte - 1 - x % perByte) * bits;
  values.push_back(static_cast<std::uint8_t>((row[x / perByte] >> shift) & ((1 << bits) - 1)));
}

struct DibView {
  int width = 0;
  int height = 0;
  int bits = 0;
  std::vector<Colour> palette;
  std::vector<std::uint8_t> values;  // empty when the bitmap did not fit its block
};

// Reads a packed bitmap of `size` bytes: 40-byte header, colour table,
// bottom-up rows padded to four bytes.
inline DibView ReadDib(const std::uint8_t* dib, std::size_t size) {
  DibView view;
  if (size < 40) return view;
  std::int32_t width, height;
  std::uint16_t bits;
  std::uint32_t used;
  std::memcpy(&width, dib + 4, 4);
  std::memcpy(&height, dib + 8, 4);
  std::memcpy(&bits, dib + 14, 2);
  std::memcpy(&used, dib + 32, 4);
  view.width = width;
  view.height = height;
  view.bits = bits;
  const std::size_t colours = bits <= 8 ? (used ? used : 1u << bits) : 0;
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  const std::size_t pixels = 40 + colours * 4;
  if (width <= 0 || height <= 0 || pixels + rowBytes * height > size) return view;
  for (std::size_t i = 0; i < colours; ++i) {
    const std::uint8_t* q = dib + 40 + 4 * i;
    view.palette.push_back({q[2], q[1], q[0]});
  }
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = dib + pixels + static_cast<std::size_t>(height - 1 - y) * rowBytes;
    for (int x = 0; x < width; ++x) AppendPixel(row, x, bits, true, view.values);
  }
  return view;
}

inline std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (std::uint8_t b : bytes) hash = (hash ^ b) * 0x100000001b3ull;
  return hash;
}

}  // namespace chart_reference
