// The palette viewer (dialog 152) beside the Images page's picture: the
// colour table of an image as a 16 x 16 grid of cells, and the text of the
// cell last clicked.
#pragma once

#include <windows.h>

#include "imaging/dib_image.h"
#include "pages/palette_swatch.h"
#include "probe/control_takeover.h"
#include "probe/dialog_base.h"

// The owner-drawn button 1052, drawing the grid itself.
class PaletteSwatch : public ControlTakeover {
 public:
  void SetImage(DibHandle handle);
  const SwatchColors& colors() const { return colors_; }
  int selected() const { return selected_; }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint();
  void Click(int x, int y);

  DibImage cells_;  // 16 x 16 at 8 bits; pixel (j, k) holds j x 16 + k
  SwatchColors colors_;
  int selected_ = 0;
};

class PaletteViewer : public DialogBase {
 public:
  // Shows the grid for an image with a colour table, else "Empty Color Table".
  void Update(DibHandle handle);
  const PaletteSwatch& swatch() const { return swatch_; }

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;

 private:
  PaletteSwatch swatch_;
};
