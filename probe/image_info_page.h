// The "Image Info" tab: the pending image's TW_IMAGEINFO, read on request
// in state 6.
#pragma once

#include "probe/page.h"

class ImageInfoPage : public Page {
 public:
  void StateChanged(int newState, int shownState) override;

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;
};
