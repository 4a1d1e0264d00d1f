// A small dispatcher for dialogs: the dialog procedure finds the object
// through the window's user data and hands it every message.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

class DialogBase {
 public:
  virtual ~DialogBase();
  DialogBase() = default;
  DialogBase(const DialogBase&) = delete;
  DialogBase& operator=(const DialogBase&) = delete;

  HWND hwnd() const { return hwnd_; }
  // A control of this dialog, found once and then kept: controls live as
  // long as their dialog, and under Wine each search among the children
  // costs tens of microseconds (the system's *DlgItem* calls search each time).
  HWND Item(int id) const;
  LRESULT SendItem(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  void SetItemText(int id, const char* text) const;

  // A modeless dialog (a page, or a window run by RunModal).
  bool Create(int resourceId, HWND parent);
  // Creates the dialog and runs the program's message loop until it ends;
  // the owner is disabled meanwhile. Returns the value given to EndModal.
  INT_PTR RunModal(int resourceId, HWND owner);
  void EndModal(INT_PTR result);

  // Every message taken from the queue by a modal loop is first offered to
  // this filter (the probe window's Source event step); true means consumed.
  using MessageFilter = bool (*)(MSG& message, void* context);
  static void SetMessageFilter(MessageFilter filter, void* context);
  // Takes and handles one message the way the modal loops do; false on WM_QUIT.
  static bool PumpOne(HWND dialog);

 protected:
  // Return TRUE when handled, as a dialog procedure does.
  virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnCommand(int /*id*/, int /*code*/) {}
  virtual void OnDestroy() {}

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  mutable std::vector<std::pair<int, HWND>> items_;
  bool modal_ = false;
  bool ended_ = false;
  INT_PTR result_ = 0;
};
