// A bitmap as the bytes of a Windows bitmap file, and as plain top-down rows
// for encoders that want them.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/dib.h"

// The 14-byte file header followed by the packed bitmap; empty when the
// handle holds no bitmap that fits its block.
std::vector<unsigned char> BitmapFileBytes(DibHandle handle);

struct TopDownPicture {
  int width = 0;
  int height = 0;
  int depth = 0;
  std::size_t stride = 0;
  std::vector<unsigned char> rows;   // the first row is the top of the picture
  std::vector<std::uint32_t> table;  // red | green << 8 | blue << 16
};
// False for compressed data and depths other than 1, 4, 8 and 24.
bool DIB_TopDownPicture(DibHandle handle, TopDownPicture& picture);
