#include "platform/debug_output.h"

#include <windows.h>
#include <utility>

namespace platform {
namespace {

bool g_capture = false;

std::string& Captured() {
  static std::string text;
  return text;
}

}  // namespace

void DebugOutput(const char* text) {
  if (!text) return;
  if (g_capture) Captured() += text;
  OutputDebugStringA(text);
}

void CaptureDebugOutput(bool capture) {
  g_capture = capture;
}

std::string TakeCapturedDebugOutput() {
  return std::exchange(Captured(), {});
}

}  // namespace platform
