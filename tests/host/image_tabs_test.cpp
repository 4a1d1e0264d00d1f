#include "pages/image_tabs.h"

#include <gtest/gtest.h>

namespace {

TEST(ImagePageTabsTest, TheInfoTabStaysWhileThereIsAReportWithOrWithoutAPicture) {
  const struct {
    bool holdsImage;
    const char* info;
    bool infoTab;
    const char* shown;
  } cases[] = {
      {false, "", false, kNoImageText},
      {false, kNoImageText, false, kNoImageText},
      {true, " Received via Native Transfer\r\n", true, " Received via Native Transfer\r\n"},
      // No picture, but the received file, the TIFF notice, a failed memory transfer.
      {false, " Received via File Transfer\r\n", true, " Received via File Transfer\r\n"},
      {false, "\r\n[Vorrel can't display this file type]", true,
       "\r\n[Vorrel can't display this file type]"},
  };
  for (const auto& c : cases) {
    const ImageTabs tabs = ImagePageTabs(c.holdsImage, c.info);
    EXPECT_EQ(tabs.infoTab, c.infoTab) << c.info;
    EXPECT_EQ(tabs.infoText, c.shown) << c.info;
  }
}

}  // namespace
