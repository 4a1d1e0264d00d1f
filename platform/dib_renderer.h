// Draws packed device-independent bitmaps into a device context (DrawDib on
// Windows). A device context is opaque to the portable library.
#pragma once

#include <cstddef>

namespace platform {

using DeviceContext = void*;

struct DrawRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// A bitmap the caller has checked: `info` is a 40-byte BITMAPINFOHEADER with
// its full colour table (or bit-field masks) in infoBytes; `bits` the pixel
// data in bitsBytes. Nothing beyond either span is read.
struct DibPicture {
  const void* info = nullptr;
  std::size_t infoBytes = 0;
  const void* bits = nullptr;
  std::size_t bitsBytes = 0;
};

// Draws the source rectangle of the picture scaled into the destination
// rectangle, with the picture's palette realised for the context.
bool DrawDibScaled(DeviceContext context, const DibPicture& picture, const DrawRect& destination,
                   const DrawRect& source);
// Realises the picture's palette in the foreground of the context; returns the
// renderer's result (0 when no renderer could be opened).
unsigned RealizeDibPalette(DeviceContext context, const DibPicture& picture);

}  // namespace platform
