#include "probe/dialog_base.h"

namespace {

DialogBase::MessageFilter g_filter = nullptr;
void* g_filterContext = nullptr;

}  // namespace

DialogBase::~DialogBase() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

HWND DialogBase::Item(int id) const {
  for (const auto& [itemId, window] : items_) {
    if (itemId == id) return window;
  }
  HWND window = GetDlgItem(hwnd_, id);
  if (window) items_.emplace_back(id, window);
  return window;
}

LRESULT DialogBase::SendItem(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
  return SendMessageA(Item(id), message, wParam, lParam);
}

void DialogBase::SetItemText(int id, const char* text) const {
  SetWindowTextA(Item(id), text);
}

bool DialogBase::Create(int resourceId, HWND parent) {
  HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId), parent,
                                   Procedure, reinterpret_cast<LPARAM>(this));
  return window != nullptr;
}

INT_PTR DialogBase::RunModal(int resourceId, HWND owner) {
  modal_ = true;
  ended_ = false;
  result_ = -1;
  const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (!Create(resourceId, owner)) return -1;
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  if (!ended_) ShowWindow(hwnd_, SW_SHOW);
  // Destroying the owner takes this window with it: the loop must not wait
  // on for a window that is gone (hwnd_ is cleared at WM_NCDESTROY).
  while (!ended_ && hwnd_ && PumpOne(hwnd_)) {
  }
  const bool ownerAlive = owner && IsWindow(owner);
  if (ownerAlive && ownerWasEnabled) EnableWindow(owner, TRUE);
  if (hwnd_) DestroyWindow(hwnd_);
  if (ownerAlive) SetActiveWindow(owner);
  return result_;
}

void DialogBase::EndModal(INT_PTR result) {
  result_ = result;
  ended_ = true;
  // Wakes the loop if it is waiting for a message.
  PostMessageA(hwnd_, WM_NULL, 0, 0);
}

void DialogBase::SetMessageFilter(MessageFilter filter, void* context) {
  g_filter = filter;
  g_filterContext = context;
}

bool DialogBase::PumpOne(HWND dialog) {
  MSG message;
  if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
    // Whoever runs the outer loop must see the quit too.
    PostQuitMessage(static_cast<int>(message.wParam));
    return false;
  }
  if (g_filter && g_filter(message, g_filterContext)) return true;
  if (dialog && IsDialogMessageA(dialog, &message)) return true;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

INT_PTR DialogBase::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK DialogBase::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogBase* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<DialogBase*>(lParam);
    self->hwnd_ = window;
    SetWindowLongPtrA(window, DWLP_USER, lParam);
  } else {
    self = reinterpret_cast<DialogBase*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  if (!self) return FALSE;
  INT_PTR handled = self->OnMessage(message, wParam, lParam);
  if (message == WM_DESTROY) self->OnDestroy();
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    self->hwnd_ = nullptr;
    self->items_.clear();
  }
  return handled;
}
