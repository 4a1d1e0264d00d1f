#include "probe/control_takeover.h"

namespace {
constexpr const char* kSelfProperty = "VorrelControl";
}

ControlTakeover::~ControlTakeover() {
  if (hwnd_ && IsWindow(hwnd_)) {
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    RemovePropA(hwnd_, kSelfProperty);
  }
}

bool ControlTakeover::TakeOver(HWND control) {
  if (!control || hwnd_) return false;
  hwnd_ = control;
  SetPropA(control, kSelfProperty, this);
  original_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Procedure)));
  return original_ != nullptr;
}

LRESULT ControlTakeover::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return Original(message, wParam, lParam);
}

LRESULT ControlTakeover::Original(UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(original_, hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK ControlTakeover::Procedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  auto* self = static_cast<ControlTakeover*>(GetPropA(window, kSelfProperty));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    // The window goes: give it its own procedure back before it does.
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->original_));
    RemovePropA(window, kSelfProperty);
    const WNDPROC original = self->original_;
    self->hwnd_ = nullptr;
    return CallWindowProcA(original, window, message, wParam, lParam);
  }
  return self->OnMessage(message, wParam, lParam);
}
