// A view of at most one bitmap handle: it keeps the block locked while
// attached, reads its header, draws it, and shares it through DibRegistry.
#pragma once

#include <cstdint>

#include "imaging/dib.h"
#include "platform/dib_renderer.h"

// Pixels per metre as dots per inch, snapped to the nearest multiple of 50
// when that lies within a tenth: 11811 reads 300, 3780 reads 100, 2835 stays 72.009.
double DIB_DotsPerInch(std::int32_t pelsPerMeter);
// "null", "BITMAPINFOHEADER (basic)", "BITMAPV4HEADER" or "unknown".
const char* DIB_HeaderKindName(std::uint32_t headerSize);

class DibImage {
 public:
  DibImage() = default;
  explicit DibImage(DibHandle handle) { Attach(handle); }
  virtual ~DibImage() { Free(); }
  DibImage(const DibImage&) = delete;
  DibImage& operator=(const DibImage&) = delete;

  // Takes a reference on the handle. True when it holds a bitmap that fits
  // its block; a block that does not stays referenced but shows as no image.
  bool Attach(DibHandle handle);
  // Gives the handle back without releasing its reference.
  DibHandle Detach();
  void Free();
  // A new bitmap with a 40-byte header (yPelsPerMeter -1: the x value);
  // depths up to 8 get the gray ramp.
  bool Create(int width, int height, int depth, std::int32_t xPelsPerMeter,
              std::int32_t yPelsPerMeter = -1);

  DibHandle Handle() const { return handle_; }
  // Why the attached handle shows no image (kOk while one is shown).
  DibCheck Check() const { return check_; }
  // A well-formed bitmap may still hold data no renderer here draws (JPEG, PNG).
  bool Drawable() const { return check_ == DibCheck::kOk && layout_.Drawable(); }
  const void* Header() const { return header_; }
  const unsigned char* Bits() const { return bits_; }

  std::uint32_t HeaderSize() const { return layout_.headerSize; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Planes() const { return layout_.planes; }
  int Depth() const { return depth_; }
  std::uint32_t Compression() const { return layout_.compression; }
  std::uint32_t ImageSize() const { return layout_.sizeImage; }
  std::int32_t XPelsPerMeter() const { return layout_.xPelsPerMeter; }
  std::int32_t YPelsPerMeter() const { return layout_.yPelsPerMeter; }
  double XDotsPerInch() const { return DIB_DotsPerInch(layout_.xPelsPerMeter); }
  double YDotsPerInch() const { return DIB_DotsPerInch(layout_.yPelsPerMeter); }
  int ColorCount() const { return static_cast<int>(layout_.colorCount); }
  const char* HeaderKindName() const { return DIB_HeaderKindName(layout_.headerSize); }

  // red | green << 8 | blue << 16 of entry i; 0 outside the table.
  std::uint32_t Color(int i) const;
  void SetColor(int i, std::uint32_t packed);
  void SetColor(int i, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

  // Row counted from the top; null outside the picture or for compressed data.
  unsigned char* RowAddress(int row) const;
  // Copies the unpadded row, (depth x width + 7) / 8 bytes.
  void WriteRow(int row, const void* source);

  // Draws the whole bitmap at (x, y) scaled by numerator / denominator.
  void Draw(platform::DeviceContext context, int x, int y, unsigned numerator,
            unsigned denominator) const;
  unsigned RealizePalette(platform::DeviceContext context) const;

 private:
  void Unlock();

  DibHandle handle_ = nullptr;
  void* header_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int depth_ = 0;
  unsigned char* bits_ = nullptr;
  DibLayout layout_;
  DibCheck check_ = DibCheck::kNoBlock;
};
