// The Images page's picture: the frame static of the page taken over to
// draw the current image at its zoom, gray around it, "no image" without one.
#pragma once

#include <windows.h>

#include "imaging/dib_image.h"
#include "pages/image_zoom.h"
#include "probe/control_takeover.h"

class ImageView : public ControlTakeover {
 public:
  // Takes a reference on the handle (null: no image) and repaints.
  void SetImage(DibHandle handle);
  const DibImage& image() const { return image_; }

  Zoom zoom() const { return zoom_; }
  void SetZoom(Zoom zoom);
  void FitZoom();
  unsigned RealizePalette(HDC context) const { return image_.RealizePalette(context); }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint();
  void ContextMenu(int x, int y);

  DibImage image_;
  Zoom zoom_;
};
