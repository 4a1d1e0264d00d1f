#include "pages/image_tabs.h"

ImageTabs ImagePageTabs(bool holdsImage, const std::string& info) {
  // The page keeps its placeholder as its text; it is no report.
  const bool report = !info.empty() && info != kNoImageText;
  ImageTabs tabs;
  tabs.infoTab = holdsImage || report;
  tabs.infoText = report || holdsImage ? info : kNoImageText;
  return tabs;
}
