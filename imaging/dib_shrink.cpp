#include "imaging/dib_shrink.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

namespace {

// What reading one bitmap's pixels needs: its palette, or its channel masks.
struct Reading {
  std::array<std::uint32_t, 256> palette{};  // 0x00RRGGBB
  std::uint32_t masks[3] = {};               // red, green, blue
  int shifts[3] = {};
  std::uint32_t maxima[3] = {};
};

using PixelReader = std::uint32_t (*)(const unsigned char* row, int x, const Reading& reading);

template <int kBits>
std::uint32_t Indexed(const unsigned char* row, int x, const Reading& reading) {
  const int bit = x * kBits;
  const int index = (row[bit / 8] >> (8 - kBits - bit % 8)) & ((1 << kBits) - 1);
  return reading.palette[static_cast<std::size_t>(index)];
}

std::uint32_t Bgr(const unsigned char* row, int x, const Reading&) {
  const unsigned char* p = row + 3 * x;
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
}

template <int kBytes>
std::uint32_t Masked(const unsigned char* row, int x, const Reading& reading) {
  std::uint32_t value = 0;
  std::memcpy(&value, row + kBytes * x, kBytes);  // little-endian, as DIBs are
  std::uint32_t colour = 0;
  for (int c = 0; c < 3; ++c) {
    const std::uint32_t channel = (value & reading.masks[c]) >> reading.shifts[c];
    const std::uint32_t level =
        reading.maxima[c] ? channel * 255 / reading.maxima[c] : 0;  // 0 for an empty mask
    colour |= level << (16 - 8 * c);
  }
  return colour;
}

struct ReaderRow {
  std::uint16_t depth;
  PixelReader read;
};
constexpr ReaderRow kReaders[] = {{1, Indexed<1>}, {4, Indexed<4>}, {8, Indexed<8>},
                                  {16, Masked<2>}, {24, Bgr},       {32, Masked<4>}};

void SetMasks(Reading& reading, const std::uint32_t (&masks)[3]) {
  for (int c = 0; c < 3; ++c) {
    reading.masks[c] = masks[c];
    reading.shifts[c] = masks[c] ? std::countr_zero(masks[c]) : 0;
    reading.maxima[c] = masks[c] >> reading.shifts[c];
  }
}

Reading ReadingOf(const void* block, const DibLayout& layout) {
  Reading reading;
  if (layout.depth <= 8) {
    for (std::uint32_t i = 0; i < reading.palette.size(); ++i) {
      const std::uint32_t packed = DIB_LayoutColor(block, layout, i);  // red first
      reading.palette[i] = (packed & 0xFF) << 16 | (packed & 0xFF00) | (packed >> 16 & 0xFF);
    }
  } else if (layout.compression == kBiBitfields) {
    // The masks follow a 40-byte header, or sit inside a longer one.
    std::uint32_t masks[3];
    std::memcpy(masks, static_cast<const unsigned char*>(block) + kInfoHeaderSize, sizeof(masks));
    SetMasks(reading, masks);
  } else {
    static constexpr std::uint32_t kMasks555[3] = {0x7C00, 0x03E0, 0x001F};
    static constexpr std::uint32_t kMasks888[3] = {0xFF0000, 0xFF00, 0xFF};
    SetMasks(reading, layout.depth == 16 ? kMasks555 : kMasks888);
  }
  return reading;
}

}  // namespace

std::unique_ptr<std::uint32_t[]> DIB_ShrinkLayout(const void* block, const DibLayout& layout,
                                                  const platform::DrawRect& source, int width,
                                                  int height) {
  PixelReader read = nullptr;
  for (const ReaderRow& row : kReaders) {
    if (row.depth == layout.depth) read = row.read;
  }
  if (!block || !read || !layout.HasRows() || width <= 0 || height <= 0 || source.x < 0 ||
      source.y < 0 || source.width <= 0 || source.height <= 0 ||
      source.x > layout.width - source.width || source.y > layout.height - source.height ||
      width > source.width || height > source.height) {
    return nullptr;
  }
  const auto columns = static_cast<std::size_t>(width);
  std::unique_ptr<std::uint32_t[]> pixels(
      new (std::nothrow) std::uint32_t[columns * static_cast<std::size_t>(height)]);
  std::unique_ptr<int[]> first(new (std::nothrow) int[columns + 1]);
  std::unique_ptr<std::uint64_t[]> sums(new (std::nothrow) std::uint64_t[columns * 3]);
  if (!pixels || !first || !sums) return nullptr;
  const Reading reading = ReadingOf(block, layout);
  // The source columns of each column of the result: [first[i], first[i + 1]).
  for (int i = 0; i <= width; ++i) {
    first[static_cast<std::size_t>(i)] =
        source.x + static_cast<int>(std::int64_t{i} * source.width / width);
  }
  for (int y = 0; y < height; ++y) {
    const int top = source.y + static_cast<int>(std::int64_t{y} * source.height / height);
    const int bottom = source.y + static_cast<int>(std::int64_t{y + 1} * source.height / height);
    std::fill(sums.get(), sums.get() + columns * 3, 0);
    for (int sourceRow = top; sourceRow < bottom; ++sourceRow) {
      const unsigned char* row = DIB_LayoutRow(const_cast<void*>(block), layout, sourceRow);
      for (int x = 0; x < width; ++x) {
        std::uint64_t* sum = &sums[static_cast<std::size_t>(x) * 3];
        for (int sourceX = first[static_cast<std::size_t>(x)];
             sourceX < first[static_cast<std::size_t>(x) + 1]; ++sourceX) {
          const std::uint32_t colour = read(row, sourceX, reading);
          sum[0] += colour & 0xFF;
          sum[1] += colour >> 8 & 0xFF;
          sum[2] += colour >> 16 & 0xFF;
        }
      }
    }
    // Bottom-up: the top row of the result is the last in memory.
    std::uint32_t* out = &pixels[static_cast<std::size_t>(height - 1 - y) * width];
    for (int x = 0; x < width; ++x) {
      const std::uint64_t count =
          std::uint64_t(bottom - top) * std::uint64_t(first[static_cast<std::size_t>(x) + 1] -
                                                      first[static_cast<std::size_t>(x)]);
      const std::uint64_t* sum = &sums[static_cast<std::size_t>(x) * 3];
      std::uint32_t colour = 0;
      for (int c = 0; c < 3; ++c) {
        colour |= static_cast<std::uint32_t>((sum[c] + count / 2) / count) << (8 * c);
      }
      out[x] = colour;
    }
  }
  return pixels;
}
