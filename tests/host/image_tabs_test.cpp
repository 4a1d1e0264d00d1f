#include "pages/image_tabs.h"

#include <gtest/gtest.h>

namespace {

TEST(ImagePageTabsTest, TheInfoTabStaysWhileThereIsAReportWithOrWithoutAPicture) {
  // Nothing came: the image tab alone, reading "no image".
  ImageTabs tabs = ImagePageTabs(false, "");
  EXPECT_FALSE(tabs.infoTab);
  EXPECT_EQ(tabs.infoText, kNoImageText);

  // A bitmap held, drawable or not, keeps its header report.
  tabs = ImagePageTabs(true, " Received via Native Transfer\r\n Header Size  = 40 bytes\r\n");
  EXPECT_TRUE(tabs.infoTab);
  EXPECT_EQ(tabs.infoText, " Received via Native Transfer\r\n Header Size  = 40 bytes\r\n");

  // No picture, but a received file's text, the TIFF notice or a failed
  // memory transfer's report: still reachable.
  for (const char* report :
       {" Received via File Transfer\r\n\r\n FileName    = \"x.bmp\"\r\n",
        "\r\n[Vorrel can't display this file type]",
        " Received via Memory Transfer\r\n\r\n Length          = 4 rows\r\n"}) {
    tabs = ImagePageTabs(false, report);
    EXPECT_TRUE(tabs.infoTab) << report;
    EXPECT_EQ(tabs.infoText, report);
  }
}

}  // namespace
