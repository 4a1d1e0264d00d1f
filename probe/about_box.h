// The About box: the program's and the library's versions and the maker's
// notice over a logo read from "Logo.bmp" beside the executable.
#pragma once

#include <string>

#include "imaging/dib.h"
#include "probe/dialog_base.h"

class AboutBox : public DialogBase {
 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnCommand(int id, int code) override;

 private:
  void EraseBackground(HDC dc);
  void OnDestroy() override;
  std::string text_;
  DibHandle logo_ = nullptr;
};
