#include "pages/about_text.h"

#include <gtest/gtest.h>

namespace {

TEST(AboutTextTest, VersionsEachOnTheirOwnLine) {
  const std::string text = AboutText();
  EXPECT_EQ(text.rfind("Vorrel TWAIN Probe version 1.26\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("\r\nAmbit TWAIN library version 2.67"), std::string::npos) << text;
}

TEST(AboutTextTest, WideBoxCentresTheLogoAndNarrowsTheText) {
  const AboutLayout wide = LayOutAbout(400, 200);
  EXPECT_EQ(wide.logo.left, 100);
  EXPECT_EQ(wide.logo.right, 300);
  EXPECT_EQ(wide.logo.top, 0);
  EXPECT_EQ(wide.logo.bottom, 200);
  EXPECT_EQ(wide.text.left, 50);
  EXPECT_EQ(wide.text.right, 350);
  EXPECT_EQ(wide.text.top, 20);
  EXPECT_EQ(wide.text.bottom, 180);
  const AboutLayout tall = LayOutAbout(100, 300);
  EXPECT_EQ(tall.logo.top, 100);
  EXPECT_EQ(tall.logo.bottom, 200);
}

TEST(AboutTextTest, LogoLivesBesideTheProgram) {
  EXPECT_EQ(LogoPath("C:\\Program Files\\Vorrel\\vorrel.exe"),
            "C:\\Program Files\\Vorrel\\Logo.bmp");
  EXPECT_EQ(LogoPath("vorrel.exe"), "Logo.bmp");
}

}  // namespace
