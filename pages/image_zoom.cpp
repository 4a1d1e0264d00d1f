#include "pages/image_zoom.h"

#include <algorithm>
#include <cstdio>
#include <limits>

Zoom ZoomIn(Zoom zoom) {
  if (zoom.denominator == 1) {
    if (zoom.numerator < kZoomLimit) zoom.numerator *= 2;
  } else {
    zoom.denominator /= 2;
  }
  return zoom;
}

Zoom ZoomOut(Zoom zoom) {
  if (zoom.numerator == 1) {
    if (zoom.denominator < kZoomLimit) zoom.denominator *= 2;
  } else {
    zoom.numerator /= 2;
  }
  return zoom;
}

Zoom FitZoom(int clientWidth, int clientHeight, int imageWidth, int imageHeight) {
  Zoom zoom;
  const auto width = static_cast<unsigned>(std::max(imageWidth, 0));
  const auto height = static_cast<unsigned>(std::max(imageHeight, 0));
  const auto denominator = [&] { return static_cast<unsigned>(zoom.denominator); };
  while (zoom.denominator < kZoomLimit &&
         (static_cast<unsigned>(std::max(clientWidth, 0)) < width / denominator() ||
          static_cast<unsigned>(std::max(clientHeight, 0)) < height / denominator())) {
    zoom.denominator *= 2;
  }
  return zoom;
}

std::string ZoomText(Zoom zoom) {
  char text[32];
  if (zoom.denominator == 1) {
    std::snprintf(text, sizeof(text), "%dx", zoom.numerator);
  } else {
    std::snprintf(text, sizeof(text), "%d/%d", zoom.numerator, zoom.denominator);
  }
  return text;
}

int ZoomedLength(int length, Zoom zoom) {
  if (length <= 0 || zoom.numerator <= 0 || zoom.denominator <= 0) return 0;
  const std::int64_t scaled = std::int64_t{length} * zoom.numerator / zoom.denominator;
  return static_cast<int>(std::min<std::int64_t>(scaled, std::numeric_limits<int>::max()));
}
