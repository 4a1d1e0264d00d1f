#include "vocab/item_types.h"

#include <gtest/gtest.h>

namespace {

TEST(ItemTypesTest, NumbersAndTextsEndWhereTheirCodesEnd) {
  for (const int type : std::initializer_list<int>{TWTY_INT8, TWTY_BOOL, TWTY_FIX32})
    EXPECT_TRUE(IsNumberType(type)) << type;
  for (const int type : std::initializer_list<int>{-1, TWTY_FRAME, TWTY_STR32})
    EXPECT_FALSE(IsNumberType(type)) << type;
  for (const int type : std::initializer_list<int>{TWTY_STR32, TWTY_STR128, TWTY_STR255})
    EXPECT_TRUE(IsStringType(type));
  for (const int type : std::initializer_list<int>{TWTY_FRAME, TWTY_STR255 + 1})
    EXPECT_FALSE(IsStringType(type)) << type;
}

}  // namespace
