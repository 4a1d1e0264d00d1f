// On the host every box is captured: there is nobody to press OK.
#include "platform/message_box.h"

#include <utility>

#include "platform/host/host_reset.h"

namespace platform {
namespace {

std::vector<MessageBoxRecord>& Captured() {
  static std::vector<MessageBoxRecord> boxes;
  return boxes;
}

bool g_answer = true;

}  // namespace

void InfoBox(WindowHandle, const char* text, const char* caption) {
  Captured().push_back({caption ? caption : "", text ? text : ""});
}

bool ConfirmBox(WindowHandle, const char* text, const char* caption) {
  Captured().push_back({caption ? caption : "", text ? text : ""});
  return g_answer;
}

void AnswerCapturedQuestions(bool ok) {
  g_answer = ok;
}

void CaptureMessageBoxes(bool) {}

std::vector<MessageBoxRecord> TakeCapturedMessageBoxes() {
  return std::exchange(Captured(), {});
}

namespace host {
void ResetMessageBoxes() {
  Captured().clear();
  g_answer = true;
}
}  // namespace host
}  // namespace platform
