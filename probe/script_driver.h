// Scripted runs of the real window: `vorrel.exe --script FILE` reads and
// checks the script, opens the window as usual, runs the steps through its
// ladder and pages, unbinds the Source Manager and ends with the script's
// exit status.
#pragma once

#include <windows.h>

#include "probe/probe_window.h"
#include "script/script_runner.h"

class ScriptDriver : public ScriptHost {
 public:
  explicit ScriptDriver(ProbeWindow& window) : window_(window) {}

  SessionLadder& Ladder() override { return window_.ladder(); }
  LadderView& View() override { return window_; }
  bool Pump(std::uint32_t milliseconds) override;
  void ClickDeviceUi(bool checked) override;
  bool Builds(StepWord word) override;
  bool PageStep(const ScriptStep& step, std::string& why) override;
  bool LastImage(int& width, int& height, int& depth) override;
  void ShowProgress() override { window_.PaintLog(); }

  // The way out: the Source Manager is unbound under a fault guard, since a
  // Source that faulted during the script may fault again, then the window
  // closes.
  void Finish();

 private:
  ProbeWindow& window_;
};

// The whole scripted run as WinMain does it; logPath may be null. The window
// stays up lingerSeconds after the last step (for a screenshot). Returns the
// exit status, also logged as the note "Exit status N": kScriptBad before
// any triplet when the script is wrong.
int RunScriptedProbe(ProbeWindow& window, const char* scriptPath, const char* logPath, int show,
                     int lingerSeconds = 0);
