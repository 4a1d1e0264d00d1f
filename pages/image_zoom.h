// The zoom of the Images page's view: a numerator and a denominator, one of
// them 1 and both powers of two, changed by doubling and halving.
#pragma once

#include <cstdint>
#include <string>

// Neither factor grows beyond this: 65536 x 32767 pixels still fits a signed
// 32-bit length, and no view needs a finer or coarser step.
constexpr std::int32_t kZoomLimit = 1 << 16;

struct Zoom {
  std::int32_t numerator = 1;
  std::int32_t denominator = 1;
};

Zoom ZoomIn(Zoom zoom);
Zoom ZoomOut(Zoom zoom);
// The largest view of the image that fits the client area, never enlarged;
// an empty image or view stays at 1/1.
Zoom FitZoom(int clientWidth, int clientHeight, int imageWidth, int imageHeight);
// "1x", "2x" or "1/2".
std::string ZoomText(Zoom zoom);
// A length of the image as the view shows it, at most INT32_MAX.
int ZoomedLength(int length, Zoom zoom);
