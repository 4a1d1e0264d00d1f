// A small baseline JPEG encoder (JFIF, Huffman tables of the standard, no
// subsampling), so file transfers can deliver JFIF without a library.
#pragma once

#include <cstdint>
#include <functional>

#include "sample_source/container_io.h"

namespace sample {

struct JpegImage {
  int width = 0;
  int height = 0;
  int components = 1;  // 1 gray, 3 red-green-blue
  int xDpi = 72;
  int yDpi = 72;
};

// Fills row y (0 at the top): width x components bytes.
using JpegRowSource = std::function<void(int y, std::uint8_t* row)>;

Bytes EncodeJpeg(const JpegImage& image, const JpegRowSource& rows, int quality = 90);

}  // namespace sample
