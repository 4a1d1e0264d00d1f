#include "platform/debug_output.h"

#include <utility>

#include "platform/host/host_reset.h"

namespace platform {
namespace {

std::string& Captured() {
  static std::string text;
  return text;
}

}  // namespace

// The host has no debug channel; the text is kept for tests to read.
void DebugOutput(const char* text) {
  if (text) Captured() += text;
}

void CaptureDebugOutput(bool) {}

std::string TakeCapturedDebugOutput() {
  return std::exchange(Captured(), {});
}

namespace host {
void ResetDebugOutput() {
  Captured().clear();
}
}  // namespace host
}  // namespace platform
