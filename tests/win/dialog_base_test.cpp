// A dialog's controls are found once and kept; a dialog made again from
// the same object finds its new controls, not the old ones.
#include "probe/dialog_base.h"

#include <gtest/gtest.h>

#include "probe/resource_ids.h"

namespace {

class AboutDialog : public DialogBase {};

TEST(DialogBaseTest, ControlsAreTheDialogsOwnAfterTheDialogIsMadeAgain) {
  AboutDialog dialog;
  ASSERT_TRUE(dialog.Create(IDD_ABOUTBOX, nullptr));
  const HWND firstOk = dialog.Item(IDOK);
  ASSERT_NE(firstOk, nullptr);
  EXPECT_EQ(dialog.Item(IDOK), GetDlgItem(dialog.hwnd(), IDOK));
  EXPECT_EQ(dialog.Item(IDCANCEL), nullptr) << "no such control";

  DestroyWindow(dialog.hwnd());
  EXPECT_EQ(dialog.hwnd(), nullptr);
  EXPECT_EQ(dialog.Item(IDOK), nullptr) << "nothing kept of a destroyed dialog";

  ASSERT_TRUE(dialog.Create(IDD_ABOUTBOX, nullptr));
  const HWND secondOk = dialog.Item(IDOK);
  EXPECT_EQ(secondOk, GetDlgItem(dialog.hwnd(), IDOK));
  EXPECT_TRUE(IsWindow(secondOk));
  dialog.SetItemText(IDOK, "Fine");
  char text[16] = {};
  GetWindowTextA(secondOk, text, sizeof(text));
  EXPECT_STREQ(text, "Fine");
  EXPECT_EQ(dialog.SendItem(IDOK, WM_GETTEXTLENGTH), 4);
  DestroyWindow(dialog.hwnd());
}

}  // namespace
