#include "imaging/dib_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "imaging/dib_registry.h"
#include "platform/memory.h"

namespace {

struct HeaderKind {
  std::uint32_t size;
  const char* name;
};
constexpr HeaderKind kHeaderKinds[] = {
    {0, "null"},
    {kInfoHeaderSize, "BITMAPINFOHEADER (basic)"},
    {kV4HeaderSize, "BITMAPV4HEADER"},
};

int Scaled(int length, unsigned numerator, unsigned denominator) {
  const std::uint64_t scaled = static_cast<std::uint64_t>(length) * numerator / denominator;
  return static_cast<int>(std::min<std::uint64_t>(scaled, std::numeric_limits<int>::max()));
}

}  // namespace

double DIB_DotsPerInch(std::int32_t pelsPerMeter) {
  const double dots = pelsPerMeter * 0.0254;
  const double snapped = 50 * std::trunc(dots * 0.02 + 0.5);
  return std::fabs(dots - snapped) < 0.1 * dots ? snapped : dots;
}

const char* DIB_HeaderKindName(std::uint32_t headerSize) {
  for (const HeaderKind& kind : kHeaderKinds) {
    if (kind.size == headerSize) return kind.name;
  }
  return "unknown";
}

bool DibImage::Attach(DibHandle handle) {
  Unlock();
  // Adding before releasing keeps a re-attach of the same handle alive.
  DibRegistry_AddRef(handle);
  DibRegistry_Release(handle_);
  handle_ = handle;
  void* data = platform::MemLock(handle);
  DibLayout layout;
  check_ = data ? DIB_CheckLayout(data, platform::MemSize(handle), &layout) : DibCheck::kNoBlock;
  if (check_ != DibCheck::kOk) {
    if (data) platform::MemUnlock(handle);
    return false;
  }
  header_ = data;
  layout_ = layout;
  width_ = layout.width;
  height_ = layout.height;
  depth_ = layout.depth;
  bits_ = static_cast<unsigned char*>(data) + layout.pixelOffset;
  return true;
}

DibHandle DibImage::Detach() {
  Unlock();
  check_ = DibCheck::kNoBlock;
  return std::exchange(handle_, nullptr);
}

void DibImage::Free() {
  Unlock();
  check_ = DibCheck::kNoBlock;
  DibRegistry_Release(std::exchange(handle_, nullptr));
}

bool DibImage::Create(int width, int height, int depth, std::int32_t xPelsPerMeter,
                      std::int32_t yPelsPerMeter) {
  Free();  // a failed Create leaves the image empty
  DibHandle handle = DIB_Allocate(depth, width, height, DIB_TableEntries(depth), xPelsPerMeter,
                                  yPelsPerMeter == -1 ? xPelsPerMeter : yPelsPerMeter);
  if (!handle) return false;
  if (!Attach(handle)) {
    Free();  // the only reference: the block goes with it
    return false;
  }
  return true;
}

std::uint32_t DibImage::Color(int i) const {
  return i < 0 ? 0 : DIB_LayoutColor(header_, layout_, static_cast<std::uint32_t>(i));
}

void DibImage::SetColor(int i, std::uint32_t packed) {
  SetColor(i, static_cast<std::uint8_t>(packed), static_cast<std::uint8_t>(packed >> 8),
           static_cast<std::uint8_t>(packed >> 16));
}

void DibImage::SetColor(int i, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  if (i >= 0) DIB_LayoutSetColor(header_, layout_, static_cast<std::uint32_t>(i), red, green, blue);
}

unsigned char* DibImage::RowAddress(int row) const {
  return DIB_LayoutRow(header_, layout_, row);
}

void DibImage::WriteRow(int row, const void* source) {
  unsigned char* target = RowAddress(row);
  if (!target || !source) return;
  const std::uint64_t bytes = (std::uint64_t{layout_.depth} * layout_.width + 7) / 8;
  std::memcpy(target, source,
              static_cast<std::size_t>(std::min<std::uint64_t>(bytes, layout_.rowBytes)));
}

void DibImage::Draw(platform::DeviceContext context, int x, int y, unsigned numerator,
                    unsigned denominator) const {
  if (!header_ || denominator == 0) return;
  const platform::DrawRect destination{x, y, Scaled(width_, numerator, denominator),
                                       Scaled(height_, numerator, denominator)};
  DIB_DrawLayout(header_, layout_, context, destination, 0, 0);
}

unsigned DibImage::RealizePalette(platform::DeviceContext context) const {
  return header_ ? DIB_RealizeLayout(header_, layout_, context) : 0;
}

void DibImage::Unlock() {
  if (header_) platform::MemUnlock(handle_);
  header_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = depth_ = 0;
  layout_ = DibLayout{};
}
