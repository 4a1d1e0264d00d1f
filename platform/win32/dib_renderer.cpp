// DrawDib opened for each call and closed again.
#include "platform/dib_renderer.h"

#include <windows.h>

#include <vfw.h>

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

LPBITMAPINFOHEADER InfoOf(const DibPicture& picture) {
  return static_cast<LPBITMAPINFOHEADER>(const_cast<void*>(picture.info));
}

}  // namespace

bool DrawDibScaled(DeviceContext context, const DibPicture& picture, const DrawRect& destination,
                   const DrawRect& source) {
  if (!context || !picture.info || !picture.bits) return false;
  Renderer renderer;
  if (!renderer.get()) return false;
  HDC dc = static_cast<HDC>(context);
  LPBITMAPINFOHEADER info = InfoOf(picture);
  DrawDibBegin(renderer.get(), dc, destination.width, destination.height, info, source.width,
               source.height, 0);
  DrawDibRealize(renderer.get(), dc, FALSE);
  const bool drawn =
      DrawDibDraw(renderer.get(), dc, destination.x, destination.y, destination.width,
                  destination.height, info, const_cast<void*>(picture.bits), source.x, source.y,
                  source.width, source.height, 0) != 0;
  DrawDibEnd(renderer.get());
  return drawn;
}

unsigned RealizeDibPalette(DeviceContext context, const DibPicture& picture) {
  if (!context || !picture.info) return 0;
  Renderer renderer;
  if (!renderer.get()) return 0;
  HDC dc = static_cast<HDC>(context);
  LPBITMAPINFOHEADER info = InfoOf(picture);
  const int height = info->biHeight < 0 ? -info->biHeight : info->biHeight;
  // Beginning with the picture's format gives the renderer its palette.
  DrawDibBegin(renderer.get(), dc, info->biWidth, height, info, info->biWidth, height, 0);
  const unsigned result = DrawDibRealize(renderer.get(), dc, FALSE);
  DrawDibEnd(renderer.get());
  return result;
}

}  // namespace platform
