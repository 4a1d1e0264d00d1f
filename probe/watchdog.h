// The watchdog: a thread of its own, started with the window, that looks at
// the call in flight into the Source Manager or a Source several times a
// second. When the call has not returned and the window's thread has not
// answered for the hang interval, it says so in a small window of its own
// (or, in a scripted run, ends the process with exit status 3), and writes
// the log line first, so the name survives whatever happens next.
#pragma once

#include <windows.h>

class Watchdog {
 public:
  Watchdog() = default;
  ~Watchdog() { Stop(); }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // Watches calls made on the thread that owns `window`.
  bool Start(HWND window);
  void Stop();

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Run();

  HWND window_ = nullptr;
  HANDLE thread_ = nullptr;
  HANDLE stop_ = nullptr;
};
