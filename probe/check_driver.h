// `vorrel.exe --check "SOURCE NAME"`: opens that Source (and no other),
// runs the conformance pass headless, writes the report and the JUnit XML,
// goes down and ends with the pass's exit status.
#pragma once

#include "probe/probe_window.h"

constexpr int kCheckPassed = 0;     // no error-level finding
constexpr int kCheckFailed = 1;     // at least one, or the pass stopped early
constexpr int kCheckCannotRun = 2;  // no Manager, no such Source, bad arguments
// A hang ends the process through the watchdog with exit status 3.

struct CheckOptions {
  const char* source = "";
  const char* reportPath = nullptr;
  const char* junitPath = nullptr;
  const char* only = nullptr;  // "identity,status"
  const char* suppressPath = nullptr;
  const char* logPath = nullptr;
  bool withUi = false;                 // --with-ui: the ui group too
  const char* stressCycles = nullptr;  // --stress-cycles N
};

int RunCheckedProbe(ProbeWindow& window, const CheckOptions& options, int show);
