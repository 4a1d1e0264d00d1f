#include "pages/image_tabs.h"

ImageTabs ImagePageTabs(bool holdsImage, const std::string& info) {
  ImageTabs tabs;
  tabs.infoTab = holdsImage || !info.empty();
  tabs.infoText = info.empty() && !holdsImage ? kNoImageText : info;
  return tabs;
}
