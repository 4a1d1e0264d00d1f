// Runs a checked script against the real window: every step goes through
// the ladder and the pages exactly as a click does, so the log reads as if a
// person had done it, with a note naming each script line before its lines.
#pragma once

#include <cstdint>
#include <string>

#include "caps/container.h"
#include "pages/session_ladder.h"
#include "script/script_reader.h"

// What a scripted run needs of the window beyond the ladder.
class ScriptHost {
 public:
  virtual ~ScriptHost() = default;

  virtual SessionLadder& Ladder() = 0;
  virtual LadderView& View() = 0;
  // Handles the window's messages, the Source's events among them, that
  // arrive within the time (0: only those waiting). False once the window
  // has ended.
  virtual bool Pump(std::uint32_t milliseconds) = 0;
  // A click on "Show Device U/I" that leaves it checked or not.
  virtual void ClickDeviceUi(bool checked) = 0;
  // Whether this build has the page a step needs (transfers, images,
  // layout, image info, the capability report).
  virtual bool Builds(StepWord word) = 0;
  // A page's step (save image, save report, layout, image info) through the
  // page's own controls; false with the reason when it did not hold.
  virtual bool PageStep(const ScriptStep& step, std::string& why) = 0;
  // The last transferred image's width, height and bits per pixel; false
  // while there is none.
  virtual bool LastImage(int& width, int& height, int& depth) = 0;
  // Shows the log's progress line now: a `check` takes no messages until
  // its pass ends.
  virtual void ShowProgress() {}
};

// Runs every step in order and stops at the first that fails. The script
// must be free of errors. Returns kScriptPassed or kScriptFailed.
int RunScript(const Script& script, ScriptHost& host);

// The lines of a step that has not been built in this version; empty when
// every step can run.
std::vector<ScriptError> UnbuiltSteps(const Script& script, ScriptHost& host);

// What a container holds, in one line for the log: "uint16 ONEVALUE =
// TWPT_RGB", "uint16 ENUMERATION of 4, current TWPT_RGB, default TWPT_RGB".
std::string ContainerSummary(const ContainerHandle* h, int cap);
