// Modal information boxes. An unattended run captures them instead of
// showing them, since a modal box would wait for a person for ever.
#pragma once

#include <string>
#include <vector>

#include "platform/handles.h"

namespace platform {

// Shows text with an information icon and one OK button; returns when closed.
void InfoBox(WindowHandle owner, const char* text, const char* caption);
// Asks with OK and Cancel; true for OK. A captured question is recorded as a
// box and answered as AnswerCapturedQuestions says (OK until told otherwise).
bool ConfirmBox(WindowHandle owner, const char* text, const char* caption);
void AnswerCapturedQuestions(bool ok);

struct MessageBoxRecord {
  std::string caption;
  std::string text;
};

void CaptureMessageBoxes(bool capture);
std::vector<MessageBoxRecord> TakeCapturedMessageBoxes();

}  // namespace platform
