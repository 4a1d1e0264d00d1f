// A control of a dialog template taken over by a class of ours: its window
// procedure is replaced and every message reaches OnMessage first.
#pragma once

#include <windows.h>

class ControlTakeover {
 public:
  virtual ~ControlTakeover();
  ControlTakeover() = default;
  ControlTakeover(const ControlTakeover&) = delete;
  ControlTakeover& operator=(const ControlTakeover&) = delete;

  bool TakeOver(HWND control);
  HWND hwnd() const { return hwnd_; }

 protected:
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // What the control would have done.
  LRESULT Original(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  WNDPROC original_ = nullptr;
};
