// What the palette viewer shows: the 256 cells of a colour table on a 16 x 16
// grid, the cell a click lands in, and the text of the chosen entry.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "imaging/dib.h"

constexpr int kSwatchCells = 16;
constexpr std::uint32_t kSwatchWhite = 0xFFFFFF;

struct SwatchColors {
  int count = 0;                            // entries of the image's table; 0 or less: none
  std::array<std::uint32_t, 256> colors{};  // red | green << 8 | blue << 16
};

// The image's table entries (at most 256), white beyond them.
SwatchColors SwatchColorsOf(DibHandle handle);
// The side of a cell in pixels: the smaller of width / 16 and height / 16.
int SwatchCellSize(int clientWidth, int clientHeight);
// The entry a click at (x, y) selects, or -1 (no cells, or outside 0 ... 255).
// A click to the right of the grid reaches into the next row.
int SwatchIndexAt(int x, int y, int cellSize);
// "color %d: R(%3u) G(%3u) B(%3u)" within the table, else "color %d: not in palette.".
std::string SwatchEntryText(const SwatchColors& swatch, int index);
// The palette viewer shows the grid for bitmaps with a colour table only.
bool SwatchShown(DibHandle handle);
