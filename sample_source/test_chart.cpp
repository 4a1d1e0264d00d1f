#include "sample_source/test_chart.h"

#include <algorithm>
#include <string>

namespace sample {

const std::uint8_t kDigitGlyphs[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};

namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

bool InBand(ChartBand band, int height, int y) {
  return y >= height * band.top / 100 && y < height * band.bottom / 100;
}

// First offset of part i of n equal parts of `length` pixels.
int PartStart(int i, int n, int length) {
  return (i * length + n - 1) / n;
}

void Fill(Rgb* row, int from, int to, Rgb colour) {
  std::fill(row + from, row + to, colour);
}

void DrawNumber(int width, int height, int page, int y, Rgb* row) {
  const int top = height * kNumberBand.top / 100;
  const int bandHeight = height * kNumberBand.bottom / 100 - top;
  const int scale = std::max(1, bandHeight / 9);
  const int glyphTop = top + (bandHeight - 7 * scale) / 2;
  if (y < glyphTop || y >= glyphTop + 7 * scale) return;
  const int glyphRow = (y - glyphTop) / scale;
  const std::string digits = std::to_string(page);
  const int textWidth = static_cast<int>(digits.size()) * 6 * scale - scale;
  const int left = (width - textWidth) / 2;
  for (std::size_t d = 0; d < digits.size(); ++d) {
    const std::uint8_t bits = kDigitGlyphs[digits[d] - '0'][glyphRow];
    for (int column = 0; column < 5; ++column) {
      if (!((bits >> (4 - column)) & 1)) continue;
      const int x = left + (static_cast<int>(d) * 6 + column) * scale;
      Fill(row, std::clamp(x, 0, width), std::clamp(x + scale, 0, width), kBlack);
    }
  }
}

}  // namespace

int ChartBorder(int width, int height) {
  return std::max(1, std::min(width, height) / 100);
}

void RenderChartRow(int width, int height, int page, int y, Rgb* row) {
  const int border = ChartBorder(width, height);
  const int inner = width - 2 * border;
  if (y < border || y >= height - border || inner <= 0) {
    Fill(row, 0, width, kBlack);
    return;
  }
  Fill(row, 0, width, kWhite);
  if (InBand(kBarsBand, height, y)) {
    for (int i = 0; i < kBarCount; ++i) {
      Fill(row, border + PartStart(i, kBarCount, inner),
           border + PartStart(i + 1, kBarCount, inner), kBarColours[i]);
    }
  } else if (InBand(kStepsBand, height, y)) {
    for (int i = 0; i < kStepCount; ++i) {
      const auto level = static_cast<std::uint8_t>(i * 17);
      Fill(row, border + PartStart(i, kStepCount, inner),
           border + PartStart(i + 1, kStepCount, inner), Rgb{level, level, level});
    }
  } else if (InBand(kLinesBand, height, y)) {
    for (int group = 0; group < kLineGroups; ++group) {
      const int lineWidth = group + 1;
      const int end = PartStart(group + 1, kLineGroups, inner);
      for (int offset = PartStart(group, kLineGroups, inner); offset < end; ++offset) {
        if ((offset / lineWidth) % 2 == 0) row[border + offset] = kBlack;
      }
    }
  } else if (InBand(kNumberBand, height, y)) {
    DrawNumber(width, height, page, y, row);
  }
  Fill(row, 0, border, kBlack);
  Fill(row, width - border, width, kBlack);
}

std::uint8_t Luminance(Rgb c) {
  return static_cast<std::uint8_t>((299 * c.r + 587 * c.g + 114 * c.b + 500) / 1000);
}

Palette PaletteFor(TW_UINT16 pixelType, int bitsPerPixel) {
  Palette p;
  auto add = [&p](Rgb colour) { p.colours[p.count++] = colour; };
  auto addGrays = [&](int levels) {
    for (int i = 0; i < levels; ++i) {
      const auto v = static_cast<std::uint8_t>((i * 255 + (levels - 1) / 2) / (levels - 1));
      add({v, v, v});
    }
  };
  if (pixelType == TWPT_BW) {
    addGrays(2);
  } else if (pixelType == TWPT_GRAY) {
    addGrays(1 << bitsPerPixel);
  } else if (pixelType == TWPT_PALETTE && bitsPerPixel == 4) {
    // Eight grays and the chart's six colours, then two dark ones.
    addGrays(8);
    for (int i = 1; i < 7; ++i) add(kBarColours[i]);
    add({128, 0, 0});
    add({0, 0, 128});
  } else if (pixelType == TWPT_PALETTE) {
    // The gray steps, the bars, a 6 x 6 x 6 colour cube, black to the end.
    addGrays(kStepCount);
    for (const Rgb& colour : kBarColours) add(colour);
    for (int r = 0; r < 6; ++r) {
      for (int g = 0; g < 6; ++g) {
        for (int b = 0; b < 6; ++b) {
          add({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
               static_cast<std::uint8_t>(b * 51)});
        }
      }
    }
    while (p.count < 256) add(kBlack);
  }
  return p;
}

std::size_t PackedRowBytes(int width, int bitsPerPixel) {
  return (static_cast<std::size_t>(width) * bitsPerPixel + 7) / 8;
}

std::size_t PaddedRowBytes(int width, int bitsPerPixel) {
  return (static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32 * 4;
}

PixelPacker::PixelPacker(const ImageGeometry& geometry, bool blueFirst)
    : width_(geometry.width),
      bitsPerPixel_(geometry.bitsPerPixel),
      pixelType_(geometry.pixelType),
      blueFirst_(blueFirst),
      palette_(PaletteFor(geometry.pixelType, geometry.bitsPerPixel)) {}

std::uint8_t PixelPacker::IndexOf(Rgb c) {
  const std::uint32_t key = (c.r << 16) | (c.g << 8) | c.b;
  auto found = nearest_.find(key);
  if (found != nearest_.end()) return found->second;
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < palette_.count; ++i) {
    const Rgb& p = palette_.colours[i];
    const long dr = p.r - c.r, dg = p.g - c.g, db = p.b - c.b;
    const long distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  nearest_.emplace(key, static_cast<std::uint8_t>(best));
  return static_cast<std::uint8_t>(best);
}

void PixelPacker::Pack(const Rgb* row, std::uint8_t* out) {
  if (bitsPerPixel_ == 24) {
    for (int x = 0; x < width_; ++x) {
      out[3 * x] = blueFirst_ ? row[x].b : row[x].r;
      out[3 * x + 1] = row[x].g;
      out[3 * x + 2] = blueFirst_ ? row[x].r : row[x].b;
    }
    return;
  }
  if (bitsPerPixel_ == 8) {
    for (int x = 0; x < width_; ++x) {
      out[x] = pixelType_ == TWPT_PALETTE ? IndexOf(row[x]) : Luminance(row[x]);
    }
    return;
  }
  // 1 and 4 bits: the leftmost pixel in the high bits.
  std::fill(out, out + PackedRowBytes(width_, bitsPerPixel_), 0);
  const int perByte = 8 / bitsPerPixel_;
  for (int x = 0; x < width_; ++x) {
    std::uint8_t value;
    if (pixelType_ == TWPT_PALETTE) {
      value = IndexOf(row[x]);
    } else if (bitsPerPixel_ == 1) {
      value = Luminance(row[x]) >= 128 ? 1 : 0;
    } else {
      value = Luminance(row[x]) >> 4;
    }
    const int shift = (perByte - 1 - x % perByte) * bitsPerPixel_;
    out[x / perByte] |= static_cast<std::uint8_t>(value << shift);
  }
}

}  // namespace sample
