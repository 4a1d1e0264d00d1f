// Pictures drawn smaller than they are. Each pixel of the smaller picture
// gets the mean colour of the pixels it stands for (a box filter), so fine
// patterns and photographs keep their tones; drawing code scales down this
// way rather than leaving it to the system, which may drop pixels.
#pragma once

#include <cstdint>
#include <memory>

#include "imaging/dib.h"
#include "platform/dib_renderer.h"

// The `source` rectangle of a checked bitmap reduced to width x height
// pixels, 32-bit blue, green, red, unused, rows bottom-up as a BI_RGB DIB
// holds them. Null for data that has no rows to read (compressed), a depth
// other than 1, 4, 8, 16, 24 or 32, sizes out of range or too little memory.
std::unique_ptr<std::uint32_t[]> DIB_ShrinkLayout(const void* block, const DibLayout& layout,
                                                  const platform::DrawRect& source, int width,
                                                  int height);
