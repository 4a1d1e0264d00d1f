// The platform's debug channel (OutputDebugString on Windows).
#pragma once

#include <string>

namespace platform {

void DebugOutput(const char* text);

// While capturing, text is kept for tests as well as written.
void CaptureDebugOutput(bool capture);
std::string TakeCapturedDebugOutput();

}  // namespace platform
