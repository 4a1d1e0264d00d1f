// The Layout and Image Info pages on the real window against the Sample
// Flatbed (100 dpi, a letter-size frame in inches by default).
#include "probe/layout_page.h"

#include "probe_window_fixture.h"

namespace {

constexpr int kImageInfoTab = 1;
constexpr int kLayoutTab = 2;
constexpr int kLayoutFields[] = {IDC_LAYOUT_LEFT,
                                 IDC_LAYOUT_TOP,
                                 IDC_LAYOUT_RIGHT,
                                 IDC_LAYOUT_BOTTOM,
                                 IDC_LAYOUT_DOCUMENT_NUMBER,
                                 IDC_LAYOUT_PAGE_NUMBER,
                                 IDC_LAYOUT_FRAME_NUMBER};
constexpr int kLayoutButtons[] = {IDC_LAYOUT_GET, IDC_LAYOUT_GETDEFAULT, IDC_LAYOUT_RESET,
                                  IDC_LAYOUT_SET};

class DataPagesTest : public ProbeWindowTest {
 protected:
  HWND Layout() { return window_->page(kLayoutTab)->hwnd(); }
  HWND ImageInfo() { return window_->page(kImageInfoTab)->hwnd(); }
  Strings Fields() {
    Strings texts;
    for (int id : kLayoutFields) texts.push_back(Text(GetDlgItem(Layout(), id)));
    return texts;
  }
  void Type(const Strings& texts) {
    for (std::size_t i = 0; i < texts.size(); ++i)
      SetDlgItemTextA(Layout(), kLayoutFields[i], texts[i].c_str());
  }
  std::vector<bool> LayoutEnabled() {
    std::vector<bool> enabled;
    for (int id : kLayoutButtons) enabled.push_back(IsWindowEnabled(GetDlgItem(Layout(), id)));
    return enabled;
  }
  bool InfoGetEnabled() { return IsWindowEnabled(GetDlgItem(ImageInfo(), IDC_IMAGE_INFO_GET)); }
  std::string InfoText() { return Text(GetDlgItem(ImageInfo(), IDC_IMAGE_INFO_REPORT)); }
  // State 6 without the Source's dialog.
  void EnableWithoutUi() {
    CheckDlgButton(window_->hwnd(), IDC_DEVICE_UI, BST_UNCHECKED);
    Click(IDC_DEVICE_UI);
    Click(IDC_HIGHER);
    ASSERT_TRUE(PumpUntilState(6)) << testing::PrintToString(Lines());
  }
};

TEST_F(DataPagesTest, LayoutSetOfASmallerFrameReadsBackAndShrinksThePendingImage) {
  Open();
  ASSERT_EQ(TWAIN_State(), 4) << testing::PrintToString(Lines());
  EXPECT_EQ(LayoutEnabled(), (std::vector<bool>{true, true, true, true}));
  EXPECT_FALSE(InfoGetEnabled());
  EXPECT_EQ(Text(GetDlgItem(Layout(), IDC_LAYOUT_FRAME_BOX)), "TW_FRAME");
  SelectTab(kLayoutTab);
  EXPECT_EQ(Text(GetDlgItem(Layout(), IDC_LAYOUT_FRAME_BOX)), "TW_FRAME (inches)");

  ClickOn(Layout(), IDC_LAYOUT_GET);
  EXPECT_EQ(Lines().back(), "(DG_IMAGE,DAT_IMAGELAYOUT,MSG_GET) -> TWRC_SUCCESS");
  EXPECT_EQ(Fields(), (Strings{"0", "0", "8.5", "11", "1", "1", "1"}));

  Type({"1", "1", "4", "6", "2", "", "1"});
  ClickOn(Layout(), IDC_LAYOUT_SET);
  EXPECT_EQ(Lines().back(), "(DG_IMAGE,DAT_IMAGELAYOUT,MSG_SET) -> TWRC_SUCCESS");
  EXPECT_EQ(Fields(), (Strings{"1", "1", "4", "6", "2", "1", "1"}));

  // A frame past the glass: the Source clips it and says so.
  Type({"0", "0", "20", "6", "2", "1", "1"});
  ClickOn(Layout(), IDC_LAYOUT_SET);
  EXPECT_EQ(Lines().back().rfind("(DG_IMAGE,DAT_IMAGELAYOUT,MSG_SET) -> TWRC_CHECKSTATUS, ", 0), 0u)
      << Lines().back();
  EXPECT_EQ(Fields()[2], "8.5");
  Type({"1", "1", "4", "6", "2", "1", "1"});
  ClickOn(Layout(), IDC_LAYOUT_SET);

  Type({"1", "one", "4", "6", "2", "1", "1"});
  const std::size_t before = Lines().size();
  ClickOn(Layout(), IDC_LAYOUT_SET);
  EXPECT_EQ(Lines().size(), before + 1);
  EXPECT_EQ(Lines().back(), "Error in TW_IMAGELAYOUT field.");

  EnableWithoutUi();
  EXPECT_EQ(LayoutEnabled(), (std::vector<bool>{true, true, false, false}));
  EXPECT_TRUE(InfoGetEnabled());
  ClickOn(ImageInfo(), IDC_IMAGE_INFO_GET);
  EXPECT_EQ(Lines().back(), "(DG_IMAGE,DAT_IMAGEINFO,MSG_GET) -> TWRC_SUCCESS");
  const std::string info = InfoText();
  EXPECT_NE(info.find("XResolution     = 100 pixels/inch\r\n"), std::string::npos) << info;
  EXPECT_NE(info.find("ImageWidth      = 300 pixels\r\nImageLength     = 500 pixels\r\n"),
            std::string::npos)
      << info;

  Click(IDC_LOWER);  // abort the pending transfer: state 5
  EXPECT_FALSE(InfoGetEnabled());
  EXPECT_EQ(InfoText(), info) << "the report stays until the next GET";
}

TEST_F(DataPagesTest, ImageInfoShowsTheWholeChartByDefaultAndResetRestoresIt) {
  Open();
  ASSERT_EQ(TWAIN_State(), 4);
  SelectTab(kLayoutTab);
  Type({"0", "0", "2", "2", "1", "1", "1"});
  ClickOn(Layout(), IDC_LAYOUT_SET);
  ClickOn(Layout(), IDC_LAYOUT_RESET);
  EXPECT_EQ(Lines().back(), "(DG_IMAGE,DAT_IMAGELAYOUT,MSG_RESET) -> TWRC_SUCCESS");
  EXPECT_EQ(Fields(), (Strings{"0", "0", "8.5", "11", "1", "1", "1"}));

  EnableWithoutUi();
  SelectTab(kImageInfoTab);
  ClickOn(ImageInfo(), IDC_IMAGE_INFO_GET);
  const std::string info = InfoText();
  EXPECT_NE(info.find("ImageWidth      = 850 pixels\r\nImageLength     = 1100 pixels\r\n"),
            std::string::npos)
      << info;
  EXPECT_NE(info.find("PixelType       = TWPT_RGB\r\nCompression     = TWCP_NONE"),
            std::string::npos)
      << info;
}

}  // namespace
