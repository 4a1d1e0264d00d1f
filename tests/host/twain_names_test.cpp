#include "vocab/twain_names.h"

#include <gtest/gtest.h>

#include <set>

#include "twain/twain.h"

namespace {

TEST(TwainNamesTest, CapNamesCoverTheTableAndFallBackByRange) {
  EXPECT_EQ(CapName(0x0001), "CAP_XFERCOUNT");
  EXPECT_EQ(CapName(0x1145), "ICAP_PATCHCODETIMEOUT");
  EXPECT_EQ(CapName(0), "0x0000");
  EXPECT_EQ(CapName(0x110B), "0x110b");
  EXPECT_EQ(CapName(0x8001), "CAP_0x8001");
  EXPECT_EQ(CapName(-1), "CAP_0xffffffff");
  // Below 0x8000 a code is a listed name or the "0" fallback; 114 are listed.
  std::set<std::string> names;
  for (int code = 0; code < 0x8000; ++code) {
    const std::string name = CapName(code);
    if (name[0] == '0') continue;
    EXPECT_TRUE(name.rfind("CAP_", 0) == 0 || name.rfind("ICAP_", 0) == 0) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 114u);
}

TEST(TwainNamesTest, TypedNamesMatchWithoutRegardToCase) {
  EXPECT_TRUE(EqualIgnoringCase("icap_Units", "ICAP_UNITS"));
  EXPECT_FALSE(EqualIgnoringCase("ICAP_UNIT", "ICAP_UNITS"));
  EXPECT_TRUE(StartsWithIgnoringCase("Sample Flatbed 2.1", "sample flatbed"));
  EXPECT_TRUE(StartsWithIgnoringCase("Flatbed", "FLATBED"));
  EXPECT_TRUE(StartsWithIgnoringCase("Flatbed", ""));
  EXPECT_FALSE(StartsWithIgnoringCase("Flat", "Flatbed"));
  EXPECT_FALSE(StartsWithIgnoringCase("Flatbed", "Flax"));
  EXPECT_EQ(CapCode("icap_pixeltype"), ICAP_PIXELTYPE);
  EXPECT_EQ(ResultCodeByName("twrc_xferdone"), TWRC_XFERDONE);
  EXPECT_EQ(ConditionCodeByName("TWCC_SUCCESS"), TWCC_SUCCESS);
  EXPECT_EQ(ConditionCodeByName("TWCC_BADVALUE"), TWCC_BADVALUE);
  EXPECT_EQ(ResultCodeByName("TWCC_SUCCESS"), std::nullopt) << "each name in its own table";
}

TEST(TwainNamesTest, ConstantNamesComeFromTheBoundArray) {
  EXPECT_EQ(ConstantName(ICAP_SUPPORTEDSIZES, 8), "illegal(8)");
  EXPECT_EQ(ConstantName(ICAP_SUPPORTEDSIZES, 12), "TWSS_ISOB3(TWSS_B3)");
  EXPECT_EQ(ConstantName(ICAP_SUPPORTEDSIZES, 53), "TWSS_BUSINESSCARD");
  EXPECT_EQ(ConstantName(ICAP_SUPPORTEDSIZES, 54), std::nullopt);
  EXPECT_EQ(ConstantName(ICAP_ORIENTATION, 0), "TWOR_ROT0 (PORTRAIT)");
  EXPECT_EQ(ConstantName(ICAP_JPEGPIXELTYPE, 2), "TWPT_RGB");
  EXPECT_EQ(ConstantName(ICAP_PIXELTYPE, 10), std::nullopt);
  EXPECT_EQ(ConstantName(ICAP_PIXELFLAVORCODES, 1), "TWPF_VANILLA");
  EXPECT_EQ(ConstantName(ICAP_BITORDERCODES, 0), std::nullopt);
  EXPECT_EQ(ConstantName(ICAP_BITDEPTHREDUCTION, 3), "TWBR_DIFFUSION");
  EXPECT_EQ(ConstantName(ICAP_UNITS, -1), std::nullopt);
  EXPECT_EQ(ConstantName(0x10102, 0), std::nullopt);
  EXPECT_EQ(ConstantName(CAP_SUPPORTEDCAPS, 0x0101), "ICAP_PIXELTYPE");
  EXPECT_EQ(ConstantName(CAP_SUPPORTEDCAPSEXT, 0x9000), "CAP_0x9000");
}

TEST(TwainNamesTest, SmallTablesAndTheirFallbacks) {
  EXPECT_EQ(ItemTypeName(12), "str255");
  EXPECT_EQ(ItemTypeName(13), "<type 0xd?>");
  EXPECT_EQ(ItemTypeName(-1), "<type 0xffffffff?>");
  EXPECT_EQ(UnitName(0), "inch");
  EXPECT_EQ(UnitNamePlural(1), "cm");
  EXPECT_EQ(UnitNamePlural(5), "pixels");
  EXPECT_EQ(UnitNamePlural(6), "?");
  EXPECT_EQ(ResultCodeName(7), "TWRC_ENDOFLIST");
  EXPECT_EQ(ResultCodeName(8), "<rc 8?>");
  EXPECT_EQ(ResultCodeName(-1), "<rc 4294967295?>");
  EXPECT_EQ(ConditionCodeName(9), "TWCC_BADPROTOCOL");
  EXPECT_EQ(ConditionCodeName(15), "TWCC_CAPSEQERROR");
  EXPECT_EQ(ConditionCodeName(7), "<cc 7?>");
  EXPECT_EQ(ConditionCodeName(16), "<cc 16?>");
}

}  // namespace
