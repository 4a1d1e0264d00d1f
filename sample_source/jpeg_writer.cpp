#include "sample_source/jpeg_writer.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace sample {
namespace {

constexpr int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                             12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                             35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                             58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

constexpr std::uint8_t kLumaQuant[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr std::uint8_t kChromaQuant[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

struct HuffmanTable {
  std::uint8_t bits[16];
  std::vector<std::uint8_t> values;
};

const HuffmanTable kLumaDc{{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
                           {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
const HuffmanTable kChromaDc{{0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0},
                             {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
const HuffmanTable kLumaAc{
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
    {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
     0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
     0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
     0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
     0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
     0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
     0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
     0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
     0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
     0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
     0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}};
const HuffmanTable kChromaAc{
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77},
    {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
     0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
     0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
     0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
     0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
     0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
     0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
     0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
     0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
     0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
     0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}};

// Code and length of each symbol, built the way decoders rebuild them.
struct HuffmanCodes {
  std::uint16_t code[256] = {};
  std::uint8_t length[256] = {};
};

HuffmanCodes CodesOf(const HuffmanTable& table) {
  HuffmanCodes codes;
  std::uint16_t code = 0;
  std::size_t k = 0;
  for (int bits = 1; bits <= 16; ++bits) {
    for (int i = 0; i < table.bits[bits - 1]; ++i, ++k, ++code) {
      codes.code[table.values[k]] = code;
      codes.length[table.values[k]] = static_cast<std::uint8_t>(bits);
    }
    code = static_cast<std::uint16_t>(code << 1);
  }
  return codes;
}

class BitWriter {
 public:
  explicit BitWriter(Bytes& out) : out_(out) {}
  void Put(std::uint32_t bits, int count) {
    buffer_ = (buffer_ << count) | (bits & ((1u << count) - 1));
    filled_ += count;
    while (filled_ >= 8) {
      const auto byte = static_cast<std::uint8_t>(buffer_ >> (filled_ - 8));
      out_.push_back(byte);
      if (byte == 0xFF) out_.push_back(0);  // stuffing, so data never looks like a marker
      filled_ -= 8;
    }
  }
  void Flush() {
    if (filled_ > 0) Put(0x7F, 8 - filled_);
  }

 private:
  Bytes& out_;
  std::uint32_t buffer_ = 0;
  int filled_ = 0;
};

int Category(int value) {
  int magnitude = value < 0 ? -value : value;
  int bits = 0;
  while (magnitude) {
    ++bits;
    magnitude >>= 1;
  }
  return bits;
}

// Amplitude bits: the value itself, or one less for negatives (ones' complement).
std::uint32_t Amplitude(int value, int category) {
  return static_cast<std::uint32_t>(value < 0 ? value + (1 << category) - 1 : value);
}

struct Component {
  std::uint8_t quant[64];  // natural order
  HuffmanCodes dc;
  HuffmanCodes ac;
  int previousDc = 0;
};

void ScaleQuant(const std::uint8_t (&base)[64], int quality, std::uint8_t (&out)[64]) {
  quality = std::clamp(quality, 1, 100);
  const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  for (int i = 0; i < 64; ++i) {
    out[i] = static_cast<std::uint8_t>(std::clamp((base[i] * scale + 50) / 100, 1, 255));
  }
}

class BlockCoder {
 public:
  BlockCoder() {
    for (int u = 0; u < 8; ++u) {
      const double c = u == 0 ? std::sqrt(0.125) : 0.5;
      for (int x = 0; x < 8; ++x)
        basis_[u][x] = c * std::cos((2 * x + 1) * u * std::numbers::pi / 16);
    }
  }

  // samples: 64 values, level-shifted, natural order.
  void Encode(const double* samples, Component& component, BitWriter& writer) const {
    double rows[64];
    for (int y = 0; y < 8; ++y) {
      for (int u = 0; u < 8; ++u) {
        double sum = 0;
        for (int x = 0; x < 8; ++x) sum += basis_[u][x] * samples[y * 8 + x];
        rows[y * 8 + u] = sum;
      }
    }
    int coefficients[64];
    for (int v = 0; v < 8; ++v) {
      for (int u = 0; u < 8; ++u) {
        double sum = 0;
        for (int y = 0; y < 8; ++y) sum += basis_[v][y] * rows[y * 8 + u];
        coefficients[v * 8 + u] = static_cast<int>(std::lround(sum / component.quant[v * 8 + u]));
      }
    }
    const int diff = coefficients[0] - component.previousDc;
    component.previousDc = coefficients[0];
    int category = Category(diff);
    writer.Put(component.dc.code[category], component.dc.length[category]);
    if (category) writer.Put(Amplitude(diff, category), category);
    int run = 0;
    for (int k = 1; k < 64; ++k) {
      const int value = coefficients[kZigzag[k]];
      if (value == 0) {
        ++run;
        continue;
      }
      while (run > 15) {
        writer.Put(component.ac.code[0xF0], component.ac.length[0xF0]);
        run -= 16;
      }
      category = Category(value);
      const int symbol = (run << 4) | category;
      writer.Put(component.ac.code[symbol], component.ac.length[symbol]);
      writer.Put(Amplitude(value, category), category);
      run = 0;
    }
    if (run > 0) writer.Put(component.ac.code[0], component.ac.length[0]);
  }

 private:
  double basis_[8][8];
};

void PutU16(Bytes& out, int value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

void PutMarker(Bytes& out, std::uint8_t marker, int payload) {
  out.push_back(0xFF);
  out.push_back(marker);
  PutU16(out, payload + 2);
}

void PutQuantTable(Bytes& out, int id, const std::uint8_t (&quant)[64]) {
  PutMarker(out, 0xDB, 65);
  out.push_back(static_cast<std::uint8_t>(id));
  for (int k = 0; k < 64; ++k) out.push_back(quant[kZigzag[k]]);
}

void PutHuffmanTable(Bytes& out, int tableClass, int id, const HuffmanTable& table) {
  PutMarker(out, 0xC4, 17 + static_cast<int>(table.values.size()));
  out.push_back(static_cast<std::uint8_t>(tableClass << 4 | id));
  out.insert(out.end(), std::begin(table.bits), std::end(table.bits));
  out.insert(out.end(), table.values.begin(), table.values.end());
}

}  // namespace

Bytes EncodeJpeg(const JpegImage& image, const JpegRowSource& rows, int quality) {
  const int nc = image.components == 3 ? 3 : 1;
  Component components[3];
  ScaleQuant(kLumaQuant, quality, components[0].quant);
  components[0].dc = CodesOf(kLumaDc);
  components[0].ac = CodesOf(kLumaAc);
  for (int c = 1; c < 3; ++c) {
    ScaleQuant(kChromaQuant, quality, components[c].quant);
    components[c].dc = CodesOf(kChromaDc);
    components[c].ac = CodesOf(kChromaAc);
  }

  Bytes out = {0xFF, 0xD8};
  PutMarker(out, 0xE0, 14);
  for (char c : {'J', 'F', 'I', 'F', '\0'}) out.push_back(static_cast<std::uint8_t>(c));
  out.insert(out.end(), {1, 1, 1});  // version 1.1, densities in dots per inch
  PutU16(out, std::clamp(image.xDpi, 1, 65535));
  PutU16(out, std::clamp(image.yDpi, 1, 65535));
  out.insert(out.end(), {0, 0});
  PutQuantTable(out, 0, components[0].quant);
  if (nc == 3) PutQuantTable(out, 1, components[1].quant);
  PutMarker(out, 0xC0, 6 + 3 * nc);
  out.push_back(8);
  PutU16(out, image.height);
  PutU16(out, image.width);
  out.push_back(static_cast<std::uint8_t>(nc));
  for (int c = 0; c < nc; ++c)
    out.insert(out.end(),
               {static_cast<std::uint8_t>(c + 1), 0x11, c ? std::uint8_t{1} : std::uint8_t{0}});
  PutHuffmanTable(out, 0, 0, kLumaDc);
  PutHuffmanTable(out, 1, 0, kLumaAc);
  if (nc == 3) {
    PutHuffmanTable(out, 0, 1, kChromaDc);
    PutHuffmanTable(out, 1, 1, kChromaAc);
  }
  PutMarker(out, 0xDA, 4 + 2 * nc);
  out.push_back(static_cast<std::uint8_t>(nc));
  for (int c = 0; c < nc; ++c)
    out.insert(out.end(),
               {static_cast<std::uint8_t>(c + 1), c ? std::uint8_t{0x11} : std::uint8_t{0x00}});
  out.insert(out.end(), {0, 63, 0});

  BitWriter writer(out);
  const BlockCoder coder;
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * nc;
  std::vector<std::uint8_t> band(rowBytes * 8);
  double block[3][64];
  for (int top = 0; top < image.height; top += 8) {
    // Rows below the image repeat its last row.
    for (int y = 0; y < 8; ++y) {
      if (top + y < image.height) {
        rows(top + y, band.data() + y * rowBytes);
      } else {
        std::copy_n(band.data() + (y - 1) * rowBytes, rowBytes, band.data() + y * rowBytes);
      }
    }
    for (int left = 0; left < image.width; left += 8) {
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
          const int column = std::min(left + x, image.width - 1);
          const std::uint8_t* p = band.data() + y * rowBytes + column * nc;
          if (nc == 1) {
            block[0][y * 8 + x] = p[0] - 128.0;
            continue;
          }
          const double r = p[0], g = p[1], b = p[2];
          block[0][y * 8 + x] = 0.299 * r + 0.587 * g + 0.114 * b - 128.0;
          block[1][y * 8 + x] = -0.168736 * r - 0.331264 * g + 0.5 * b;
          block[2][y * 8 + x] = 0.5 * r - 0.418688 * g - 0.081312 * b;
        }
      }
      for (int c = 0; c < nc; ++c) coder.Encode(block[c], components[c], writer);
    }
  }
  writer.Flush();
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

}  // namespace sample
