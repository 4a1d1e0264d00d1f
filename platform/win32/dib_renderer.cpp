// DrawDib opened for each call and closed again.
#include "platform/dib_renderer.h"

#include <windows.h>

#include <vfw.h>

#include <cstring>
#include <memory>
#include <new>

namespace platform {
namespace {

class Renderer {
 public:
  Renderer() : drawDib_(DrawDibOpen()) {}
  ~Renderer() {
    if (drawDib_) DrawDibClose(drawDib_);
  }
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;
  HDRAWDIB get() const { return drawDib_; }

 private:
  HDRAWDIB drawDib_;
};

// DrawDib draws bottom-up rows only: a top-down picture is drawn from a
// turned-over copy of its rows, with its header's height made positive.
class BottomUp {
 public:
  explicit BottomUp(const DibPicture& picture) {
    if (picture.infoBytes < sizeof(BITMAPINFOHEADER) || picture.infoBytes > sizeof(info_)) return;
    std::memcpy(&info_, picture.info, picture.infoBytes);
    bits_ = static_cast<const unsigned char*>(picture.bits);
    BITMAPINFOHEADER& header = info_.header;
    if (header.biHeight >= 0) return;
    header.biHeight = -header.biHeight;
    const auto rows = static_cast<std::size_t>(header.biHeight);
    const std::size_t rowBytes =
        (static_cast<std::size_t>(header.biWidth) * header.biBitCount + 31) / 32 * 4;
    if (!bits_ || (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS) ||
        (rows != 0 && rowBytes > picture.bitsBytes / rows)) {
      bits_ = nullptr;
      return;
    }
    copy_.reset(new (std::nothrow) unsigned char[rowBytes * rows]);
    if (!copy_) {
      bits_ = nullptr;
      return;
    }
    for (std::size_t row = 0; row < rows; ++row) {
      std::memcpy(copy_.get() + rowBytes * (rows - 1 - row), bits_ + rowBytes * row, rowBytes);
    }
    bits_ = copy_.get();
  }
  LPBITMAPINFOHEADER info() { return &info_.header; }
  void* bits() const { return const_cast<unsigned char*>(bits_); }

 private:
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info_{};
  const unsigned char* bits_ = nullptr;
  std::unique_ptr<unsigned char[]> copy_;
};

}  // namespace

bool DrawDibScaled(DeviceContext context, const DibPicture& picture, const DrawRect& destination,
                   const DrawRect& source) {
  if (!context || !picture.info || !picture.bits) return false;
  BottomUp drawable(picture);
  if (!drawable.bits()) return false;
  Renderer renderer;
  if (!renderer.get()) return false;
  HDC dc = static_cast<HDC>(context);
  // Shrinking in the context's default mode ANDs the dropped pixels away, so
  // pictures darken and fine patterns turn black; HALFTONE averages them and
  // needs the brush origin set after it is chosen.
  const bool shrinking = destination.width < source.width || destination.height < source.height;
  int oldMode = 0;
  POINT oldOrigin{};
  if (shrinking) {
    oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, &oldOrigin);
  }
  DrawDibBegin(renderer.get(), dc, destination.width, destination.height, drawable.info(),
               source.width, source.height, 0);
  DrawDibRealize(renderer.get(), dc, FALSE);
  const bool drawn =
      DrawDibDraw(renderer.get(), dc, destination.x, destination.y, destination.width,
                  destination.height, drawable.info(), drawable.bits(), source.x, source.y,
                  source.width, source.height, 0) != 0;
  DrawDibEnd(renderer.get());
  if (shrinking && oldMode != 0) {
    SetStretchBltMode(dc, oldMode);
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
  }
  return drawn;
}

unsigned RealizeDibPalette(DeviceContext context, const DibPicture& picture) {
  if (!context || !picture.info) return 0;
  BottomUp drawable(picture);
  Renderer renderer;
  if (!renderer.get()) return 0;
  HDC dc = static_cast<HDC>(context);
  LPBITMAPINFOHEADER info = drawable.info();
  // Beginning with the picture's format gives the renderer its palette.
  DrawDibBegin(renderer.get(), dc, info->biWidth, info->biHeight, info, info->biWidth,
               info->biHeight, 0);
  const unsigned result = DrawDibRealize(renderer.get(), dc, FALSE);
  DrawDibEnd(renderer.get());
  return result;
}

}  // namespace platform
