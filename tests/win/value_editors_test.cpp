// The array and enumeration editors' pictures: the list views share the
// editor's image lists, so they outlive each view, serve a dialog made again
// and are freed once, by the editor.
#include "probe/value_editors.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include "probe/resource_ids.h"

namespace {

TEST(ValueEditorsTest, ListPicturesOutliveEachListViewAndServeTheNextOne) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(parent, nullptr);
  {
    EnumEditor enumeration;
    ArrayEditor array;
    for (ArrayEditor* editor : {static_cast<ArrayEditor*>(&enumeration), &array}) {
      HIMAGELIST shown[2] = {};
      for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(editor->CreateIn(parent));
        editor->Load(round == 0 ? ICAP_PIXELTYPE : ICAP_UNITS, TWTY_UINT16);
        HWND list = GetDlgItem(editor->hwnd(), IDC_VALUE_LIST);
        shown[round] =
            reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_STATE, 0));
        ASSERT_NE(shown[round], nullptr) << "round " << round;
        DestroyWindow(editor->hwnd());
        EXPECT_EQ(ImageList_GetImageCount(shown[round]), 2) << "freed with its list view";
      }
      EXPECT_EQ(shown[0], shown[1]);
    }
  }
  DestroyWindow(parent);
}

}  // namespace
