#include "platform/message_box.h"

#include <windows.h>
#include <utility>

namespace platform {
namespace {

bool g_capture = false;
bool g_capturedAnswer = true;

std::vector<MessageBoxRecord>& Captured() {
  static std::vector<MessageBoxRecord> boxes;
  return boxes;
}

}  // namespace

void InfoBox(WindowHandle owner, const char* text, const char* caption) {
  if (g_capture) {
    Captured().push_back({caption ? caption : "", text ? text : ""});
    return;
  }
  MessageBoxA(static_cast<HWND>(owner), text, caption, MB_OK | MB_ICONINFORMATION);
}

bool ConfirmBox(WindowHandle owner, const char* text, const char* caption) {
  if (g_capture) {
    Captured().push_back({caption ? caption : "", text ? text : ""});
    return g_capturedAnswer;
  }
  return MessageBoxA(static_cast<HWND>(owner), text, caption, MB_OKCANCEL | MB_ICONQUESTION) ==
         IDOK;
}

void AnswerCapturedQuestions(bool ok) {
  g_capturedAnswer = ok;
}

void CaptureMessageBoxes(bool capture) {
  g_capture = capture;
}

std::vector<MessageBoxRecord> TakeCapturedMessageBoxes() {
  return std::exchange(Captured(), {});
}

}  // namespace platform
