// What the Windows benchmarks share: a nanosecond clock and the process
// set-up the probe window needs, with message boxes captured.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "platform/message_box.h"
#include "session/twain_session.h"

inline double Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

inline void StartBenchProcess() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  platform::CaptureMessageBoxes(true);
  TWAIN_Startup();
}
