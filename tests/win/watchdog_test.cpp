// The watchdog in the real window: a Source that does not return in a
// capability get, while the window's thread is stuck inside it.
#include <process.h>

#include <atomic>

#include "pages/hang_watch.h"
#include "probe_window_fixture.h"

namespace {

// Watches, from a thread of its own, for the watchdog's window; presses
// "Wait" the first time and keeps what the window said.
struct Observer {
  std::atomic<bool> stop{false};
  std::string text;
  int seen = 0;

  static unsigned __stdcall Run(void* self) {
    auto& observer = *static_cast<Observer*>(self);
    HWND pressed = nullptr;
    while (!observer.stop) {
      // The window pressed must be gone before another one counts.
      if (pressed && IsWindow(pressed) && IsWindowVisible(pressed)) {
        Sleep(20);
        continue;
      }
      pressed = nullptr;
      HWND window = nullptr;
      while ((window = FindWindowExA(nullptr, window, "#32770", "Vorrel")) != nullptr) {
        HWND text = GetDlgItem(window, IDC_HANG_TEXT);
        if (!text || !IsWindowVisible(window)) continue;
        if (observer.seen++ == 0) observer.text = Text(text);
        pressed = window;
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_HANG_WAIT, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_HANG_WAIT)));
        break;
      }
      Sleep(20);
    }
    return 0;
  }
};

TEST_F(ProbeWindowTest, AHungGetIsNamedInAWindowOfTheWatchdogsOwnAndWaitAsksAgain) {
  ProbeWindow& window = Open();
  ASSERT_EQ(TWAIN_State(), 4);
  TheHangSettings().hangSeconds = 1;
  SetEnvironmentVariableA("VORREL_FAULT_LAB", "hang:ICAP_PIXELTYPE:5");
  Observer observer;
  HANDLE thread =
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Observer::Run, &observer, 0, nullptr));
  HWND list = GetDlgItem(window.hwnd(), IDC_SOURCE_LIST);
  const LRESULT faultLab = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>("Sample Fault Lab"));
  SendMessageA(list, CB_SETCURSEL, faultLab, 0);
  // Opens the Fault Lab and enumerates: its first get of ICAP_PIXELTYPE takes 5 s.
  SendMessageA(window.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SOURCE_LIST, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
  SetEnvironmentVariableA("VORREL_FAULT_LAB", nullptr);
  observer.stop = true;
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
  ResetHangSettings();
  EXPECT_EQ(observer.text, "The Source has not returned from MSG_GET(ICAP_PIXELTYPE) for 1 s.");
  EXPECT_GE(observer.seen, 2) << "asked again after Wait";
  EXPECT_EQ(TWAIN_State(), 4) << "the call returned and the session went on";
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) && DialogBase::PumpOne(window.hwnd())) {
  }
  const Strings lines = Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "   Source hung: no return from MSG_GET(ICAP_PIXELTYPE) after 1 s"),
            lines.end())
      << testing::PrintToString(lines);
}

}  // namespace
