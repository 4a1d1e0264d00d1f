// The real probe window, created in-process against Wine's Source Manager
// with the Sample Source installed, and the means to drive and read it.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "caps/logged_operations.h"
#include "pages/log.h"
#include "probe/probe_window.h"
#include "probe/resource_ids.h"
#include "session/twain_session.h"

using Strings = std::vector<std::string>;

inline std::string Text(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

class ProbeWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    ResetLoggedOperations();
    TWAIN_Startup();
  }
  void TearDown() override {
    window_.reset();
    TWAIN_Shutdown();
    ResetLog();
  }

  ProbeWindow& Open() {
    window_ = std::make_unique<ProbeWindow>();
    EXPECT_TRUE(window_->Open(SW_SHOWNORMAL));
    return *window_;
  }
  Strings Lines() const {
    Strings lines;
    const LogStore& store = window_->log().store();
    for (int i = 0; i < store.count(); ++i) lines.push_back(store.line(i));
    return lines;
  }
  std::string Control(int id) const { return Text(GetDlgItem(window_->hwnd(), id)); }
  void Click(int id) {
    SendMessageA(window_->hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window_->hwnd(), id)));
  }
  // Runs the window's message loop until the state is reached or time is up.
  bool PumpUntilState(int state, DWORD milliseconds = 10000) {
    const DWORD start = GetTickCount();
    while (TWAIN_State() != state && GetTickCount() - start < milliseconds) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (!DialogBase::PumpOne(window_->hwnd())) return false;
      }
      Sleep(10);
    }
    return TWAIN_State() == state;
  }
  int TabCount() const {
    return static_cast<int>(SendDlgItemMessageA(window_->hwnd(), IDC_TABS, TCM_GETITEMCOUNT, 0, 0));
  }

  // A button of a page, pressed as the user would.
  void ClickOn(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  }
  // Picks a Source in the list as the user does; the window opens it.
  void ChooseSource(const char* productName) {
    HWND list = GetDlgItem(window_->hwnd(), IDC_SOURCE_LIST);
    const LRESULT index = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(productName));
    ASSERT_NE(index, CB_ERR) << productName;
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(window_->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SOURCE_LIST, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
  }
  // Selects a tab as a click on the strip does.
  void SelectTab(int index) {
    SendDlgItemMessageA(window_->hwnd(), IDC_TABS, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    window_->ShowSelectedPage();
  }

  std::unique_ptr<ProbeWindow> window_;
};
