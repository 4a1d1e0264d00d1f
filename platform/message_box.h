// Modal information boxes. An unattended run captures them instead of
// showing them, since a modal box would wait for a person for ever.
#pragma once

#include <string>
#include <vector>

#include "platform/handles.h"

namespace platform {

// Shows text with an information icon and one OK button; returns when closed.
void InfoBox(WindowHandle owner, const char* text, const char* caption);

struct MessageBoxRecord {
  std::string caption;
  std::string text;
};

void CaptureMessageBoxes(bool capture);
std::vector<MessageBoxRecord> TakeCapturedMessageBoxes();

}  // namespace platform
