// What the Image Info page shows: the pending image's TW_IMAGEINFO as a
// report, read on request in state 6.
#pragma once

#include <optional>
#include <string>

#include "twain/twain.h"

// The numbers exactly as the Source gave them; units names the resolution's
// denominator ("?" for a unit no table lists).
std::string ImageInfoReport(const TW_IMAGEINFO& info, int units);
// Sends DG_IMAGE / DAT_IMAGEINFO / MSG_GET and logs its line; the report,
// with the units asked of the Source afterwards, or nothing after a failure.
std::optional<std::string> ImageInfoGet();
// Whether GET is enabled after a state change; nothing when the state did
// not change and the button keeps its enabling.
std::optional<bool> ImageInfoGetEnabled(int newState, int shownState);
