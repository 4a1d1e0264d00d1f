#include "probe/watchdog.h"

#include "pages/hang_watch.h"
#include "pages/log.h"
#include "platform/fault_guard.h"
#include "platform/tick_count.h"
#include "probe/dialog_base.h"
#include "probe/resource_ids.h"
#include "probe/trace_control.h"

namespace {

constexpr DWORD kLookIntervalMs = 200;
constexpr UINT kAnswerTimeoutMs = 500;

// Ends the process at once: the hung thread may hold locks an orderly exit
// would wait for.
[[noreturn]] void EndHung() {
  LogNote("Exit status %d", kExitStatusHung);
  WriteOutTrace();
  TerminateProcess(GetCurrentProcess(), kExitStatusHung);
  ExitProcess(kExitStatusHung);
}

// Topmost and owned by no one, pumped by the watchdog's thread.
class HangWindow : public DialogBase {
 public:
  explicit HangWindow(HangWatch& watch) : watch_(watch) {}

  void Show(const std::string& text) {
    if (!hwnd() && !Create(IDD_HANG_WATCH, nullptr)) return;
    SetItemText(IDC_HANG_TEXT, text.c_str());
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  }
  void Close() {
    if (hwnd()) DestroyWindow(hwnd());
  }

 protected:
  void OnCommand(int id, int code) override {
    if (code != BN_CLICKED) return;
    if (id == IDC_HANG_WAIT || id == IDCANCEL) {
      watch_.Wait();
      Close();
    } else if (id == IDC_HANG_END) {
      EndHung();
    }
  }

 private:
  HangWatch& watch_;
};

}  // namespace

bool Watchdog::Start(HWND window) {
  if (thread_) return true;
  window_ = window;
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  return thread_ != nullptr;
}

void Watchdog::Stop() {
  if (!thread_) return;
  SetEvent(stop_);
  WaitForSingleObject(thread_, 5000);
  CloseHandle(thread_);
  CloseHandle(stop_);
  thread_ = nullptr;
  stop_ = nullptr;
}

DWORD WINAPI Watchdog::ThreadMain(void* self) {
  static_cast<Watchdog*>(self)->Run();
  return 0;
}

void Watchdog::Run() {
  // The thread's own hidden window, made now: a message queue that is
  // there before any hang, for the window it may show.
  HWND hidden =
      CreateWindowExA(0, "Static", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  HangWatch watch;
  HangWindow window(watch);
  for (;;) {
    const DWORD woke = MsgWaitForMultipleObjects(1, &stop_, FALSE, kLookIntervalMs, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0) break;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (window.hwnd() && IsDialogMessageA(window.hwnd(), &message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    // Faults and hangs belong to a debugger when one is attached.
    if (!platform::FaultGuardEnabled()) continue;
    const std::uint32_t now = platform::TickCount();
    const InFlightCalls& calls = CallsInFlight();
    bool answered = false;
    if (watch.WantsAnswer(now, calls)) {
      DWORD_PTR result = 0;
      // Not SMTO_BLOCK: this thread's own window must answer meanwhile.
      answered = SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                     kAnswerTimeoutMs, &result) != 0;
    }
    switch (watch.Look(platform::TickCount(), calls, answered)) {
      case HangAction::kAsk:
        LogNote("%s", HangNote(watch.site(), watch.hungSeconds()).c_str());
        window.Show(HangPrompt(watch.site(), watch.hungSeconds()));
        break;
      case HangAction::kDismiss:
        window.Close();
        break;
      case HangAction::kEndRun:
        LogNote("%s", HangNote(watch.site(), watch.hungSeconds()).c_str());
        EndHung();
      case HangAction::kNone:
        break;
    }
  }
  window.Close();
  if (hidden) DestroyWindow(hidden);
}
