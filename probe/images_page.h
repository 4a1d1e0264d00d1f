// The "Images" tab (dialog 105): transfers the pending image when the ladder
// asks, shows it zoomable with its palette, and its report on the Info tab.
#pragma once

#include <string>

#include "imaging/dib_image.h"
#include "pages/image_transfer.h"
#include "probe/image_view.h"
#include "probe/page.h"
#include "probe/palette_viewer.h"

class ImagesPage : public Page, public ImagePageView {
 public:
  void StateChanged(int, int) override {}
  bool Transfer() override;
  // The main window's palette messages come here.
  unsigned RealizePalette(HDC context) const;

  // ImagePageView.
  void Clear() override;
  void SetImage(DibHandle handle) override;
  void SetInfoText(const std::string& text) override;
  void AppendInfoText(const std::string& text) override;
  void InfoBox(const char* text) override;

  const DibImage& image() const { return image_; }
  const std::string& infoText() const { return info_; }
  ImageView& view() { return view_; }
  PaletteViewer& paletteViewer() { return palette_; }
  // The sub-tab shown: 0 the image, 1 the info text.
  void SelectTab(int index);

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void RebuildTabs();
  void ShowSelectedTab();
  void ShowZoom();

  DibImage image_;
  std::string info_ = "no image";
  ImageView view_;
  PaletteViewer palette_;
};
