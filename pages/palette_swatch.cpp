#include "pages/palette_swatch.h"

#include <algorithm>
#include <cstdio>

#include <cstdint>

#include "platform/memory.h"

SwatchColors SwatchColorsOf(DibHandle handle) {
  SwatchColors swatch;
  swatch.colors.fill(kSwatchWhite);
  // Read under a lock of its own: the viewer takes no reference on the image.
  platform::MemLockGuard lock(handle);
  DibLayout layout;
  if (!lock || DIB_CheckLayout(lock.data(), platform::MemSize(handle), &layout) != DibCheck::kOk)
    return swatch;
  swatch.count = static_cast<int>(std::min<std::uint32_t>(layout.colorCount, INT32_MAX));
  for (std::uint32_t i = 0; i < 256 && i < layout.colorCount; ++i)
    swatch.colors[i] = DIB_LayoutColor(lock.data(), layout, i);
  return swatch;
}

int SwatchCellSize(int clientWidth, int clientHeight) {
  return std::max(0, std::min(clientWidth / kSwatchCells, clientHeight / kSwatchCells));
}

int SwatchIndexAt(int x, int y, int cellSize) {
  if (cellSize <= 0 || x < 0 || y < 0) return -1;
  const long long index = x / cellSize + static_cast<long long>(y / cellSize) * kSwatchCells;
  return index < 256 ? static_cast<int>(index) : -1;
}

std::string SwatchEntryText(const SwatchColors& swatch, int index) {
  char text[64];
  if (index >= 0 && index < 256 && index < swatch.count) {
    const std::uint32_t color = swatch.colors[index];
    std::snprintf(text, sizeof(text), "color %d: R(%3u) G(%3u) B(%3u)", index, color & 0xFF,
                  (color >> 8) & 0xFF, (color >> 16) & 0xFF);
  } else {
    std::snprintf(text, sizeof(text), "color %d: not in palette.", index);
  }
  return text;
}

bool SwatchShown(DibHandle handle) {
  const std::uint16_t depth = handle ? DIB_Depth(handle) : 0;
  return depth != 0 && depth <= 8;
}
