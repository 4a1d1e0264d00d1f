// The program's only top-level window: the session ladder, the Data Source
// list, the tab strip with its five pages and the log. It is the ladder's
// view; what it shows follows the library's state.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "pages/session_ladder.h"
#include "probe/dialog_base.h"
#include "probe/log_view.h"
#include "probe/page.h"
#include "probe/watchdog.h"

class ProbeWindow : public DialogBase, public LadderView {
 public:
  ProbeWindow();
  ~ProbeWindow() override;

  // Creates the window and runs its initialisation, the start-up climb
  // included; `show` is how the program was asked to show it.
  bool Open(int show);
  // Runs the program's message loop until the window ends.
  INT_PTR Run();
  // The file every final log line is mirrored to (beyond the log itself).
  void MirrorLogTo(const char* path) { mirrorPath_ = path ? path : ""; }
  // A headless check asks the Source itself; the page's scan of every
  // capability would only add a chance to crash before it starts.
  void SkipCapabilityScan() { skipCapabilityScan_ = true; }

  SessionLadder& ladder() { return ladder_; }
  const LogView& log() const { return log_; }
  LogView& log() { return log_; }
  // Paints the log's waiting lines now, for work that takes no messages.
  void PaintLog() { UpdateWindow(log_.hwnd()); }
  Page* page(int index) { return pages_[index].get(); }
  bool ended() const { return ended_; }
  // Lower, as a person would click it, down to state 1, under the fault
  // guard; a session that stays above state 1 (a fault, a Source that will
  // not step down) ends in the library's hard reset. False in that case.
  bool WalkDown();

  // LadderView.
  platform::WindowHandle Handle() override { return hwnd(); }
  void EnableWindow() override;
  void EnableLadderButtons(bool higher, bool lower) override;
  void SetLadderLabels(const char* higher, const char* lower) override;
  void SetStatePicture(int state, bool current) override;
  void ShowDeviceUiSwitch(bool visible) override;
  void SetDeviceUiCheck(bool checked) override;
  void ShowXferMechText(bool visible) override;
  void SetXferMechText(const char* text) override;
  void ClearSources() override;
  int AddSource(const char* name) override;
  int SourceCount() override;
  int SelectedSource() override;
  void SelectSource(int index) override;
  std::string SourceText(int index) override;
  void EnableSourceList(bool enabled) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void InfoBox(const char* text) override;
  void CloseWindow() override;
  void PagesStateChanged(int newState, int shownState) override;
  void EnumerateCapabilities() override;
  bool TransferImage() override;
  void AppendTabs() override;
  void ShowSelectedPage() override;
  void StepFinished() override;

 protected:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnDestroy() override;

 private:
  static bool FilterMessage(MSG& message, void* context);
  static void DeliverLogText(const char* text, bool final, void* context);
  void ShowAboutBox();
  // Check Source: down to state 4 (asked first), the pass, then its report page.
  void CheckSource();
  void End(INT_PTR result);

  SessionLadder ladder_;
  LogView log_;
  Watchdog watchdog_;
  std::array<std::unique_ptr<Page>, 5> pages_;  // in tab order
  std::array<HBITMAP, 16> pictures_{};          // 130 to 145
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  int waitDepth_ = 0;
  HCURSOR savedCursor_ = nullptr;
  int show_ = SW_SHOW;
  std::string mirrorPath_;
  bool ended_ = false;
  bool skipCapabilityScan_ = false;
  bool closePending_ = false;  // asked to close during a step
  INT_PTR result_ = 0;
  // The thread that runs the window, where log lines are handed over directly.
  DWORD thread_ = GetCurrentThreadId();
};
