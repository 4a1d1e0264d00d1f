// Which sub-tabs the Images page offers and what its Info tab reads: the
// report of a transfer stays reachable whether or not a picture came of it.
#pragma once

#include <string>

constexpr const char* kNoImageText = "no image";

struct ImageTabs {
  bool infoTab = false;
  std::string infoText;
};

// `holdsImage`: the page holds a bitmap, drawable or not; `info`: the text
// the transfer step left.
ImageTabs ImagePageTabs(bool holdsImage, const std::string& info);
