#include "vocab/number_text.h"

#include <gtest/gtest.h>

namespace {

TEST(NumberTextTest, ShortNumberTextAndLongTexts) {
  EXPECT_EQ(ShortNumberText(1.5), "1.5");
  EXPECT_EQ(ShortNumberText(2), "2");
  EXPECT_EQ(ShortNumberText(100), "100") << "zeros before the point stay";
  EXPECT_EQ(ShortNumberText(-0.25), "-0.25");
  EXPECT_EQ(ShortNumberText(1e-7), "0");
  const std::string wide(200, 'w');
  EXPECT_EQ(FormatText("<%s>%d", wide.c_str(), 7), "<" + wide + ">7");
  // Either side of the first buffer's size.
  for (const std::size_t length : {63u, 64u, 65u}) {
    const std::string text(length, 'x');
    EXPECT_EQ(FormatText("%s", text.c_str()), text);
  }
  EXPECT_EQ(FormatText("%s", ""), "");
}

}  // namespace
