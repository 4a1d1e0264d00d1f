#include "vocab/value_text.h"

#include <gtest/gtest.h>

#include "platform/message_box.h"
#include "source_block.h"

namespace {

constexpr int kNoNames = ICAP_XRESOLUTION;

TEST(ValueTextTest, NumbersTakeTheirTypesFormOrTheConstantsName) {
  EXPECT_EQ(ValueText(TWTY_INT16, 2, ICAP_PIXELTYPE), "TWPT_RGB");
  EXPECT_EQ(ValueText(TWTY_UINT16, 10, ICAP_PIXELTYPE), "10");
  EXPECT_EQ(ValueText(TWTY_BOOL, 0, CAP_FEEDERENABLED), "FALSE");
  EXPECT_EQ(ValueText(TWTY_BOOL, 2, CAP_FEEDERENABLED), "2??");
  EXPECT_EQ(ValueText(TWTY_FIX32, 2.5, kNoNames), "2.5");
  EXPECT_EQ(ValueText(TWTY_FIX32, 1.5, ICAP_UNITS), "TWUN_CENTIMETERS");
  EXPECT_EQ(ValueText(TWTY_UINT16, 0x2000, CAP_SUPPORTEDCAPS), "0x2000");
  EXPECT_EQ(ValueText(TWTY_UINT32, 4294967295.0, kNoNames), "4294967295");
  EXPECT_EQ(ValueText(TWTY_INT32, 4294967295.0, kNoNames), "-1");
  EXPECT_EQ(ValueText(TWTY_INT8, -1.7, kNoNames), "-1");
  EXPECT_EQ(ValueText(TWTY_FRAME, 3, kNoNames), "3?");
  EXPECT_EQ(ValueText(TWTY_UINT32, 1e300, kNoNames), "4294967295");
}

TEST(ValueTextTest, ItemsAndOneValues) {
  const TW_FRAME frame{{0, 0}, {0, 0}, {8, 32768}, {11, 0}};
  EXPECT_EQ(ItemText(TWTY_FRAME, &frame, kNoNames), "Frame(0, 0, 8.5, 11)");
  // A string item that fills its whole size is cut at the item's end.
  TW_STR32 full;
  std::memset(full, 'z', sizeof(full));
  EXPECT_EQ(ItemText(TWTY_STR32, full, kNoNames), '"' + std::string(34, 'z') + '"');
  const std::int16_t negative = -300;
  EXPECT_EQ(ItemText(TWTY_UINT16, &negative, kNoNames), "65236");
  EXPECT_EQ(ItemNumber(&negative, TWTY_INT16 + 0x10000), -300);
  EXPECT_EQ(ItemText(TWTY_FRAME, nullptr, kNoNames), "<no item>");

  ContainerHandle* rgb = CONTAINER_CreateOneValue(TWTY_UINT16, TWPT_RGB);
  EXPECT_EQ(OneValueText(rgb, ICAP_PIXELTYPE), "uint16 ONEVALUE = TWPT_RGB");
  CONTAINER_Free(rgb);
  ContainerHandle* odd = AttachBytes(TWON_ONEVALUE, LeBytes().U16(13).U32(1));
  EXPECT_EQ(OneValueText(odd, kNoNames), "<type 0xd?> ONEVALUE = 0?");
  CONTAINER_Free(odd);
  EXPECT_TRUE(HasNamedValues(TWTY_BOOL, CAP_FEEDERENABLED));
  EXPECT_FALSE(HasNamedValues(TWTY_UINT16, CAP_SUPPORTEDCAPS));  // 0 is "0x0000"
  EXPECT_FALSE(HasNamedValues(TWTY_STR32, ICAP_UNITS));
}

// Every type's text stored and read back through the same container.
TEST(ValueTextTest, StoredTextReadsBack) {
  const struct {
    int type;
    int cap;
    const char* text;
    int selected;
    std::string shown;
  } cases[] = {
      {TWTY_INT16, kNoNames, "  -300.9 units", -1, "-300"},
      {TWTY_INT32, kNoNames, "+2147483647", -1, "2147483647"},
      {TWTY_UINT16, kNoNames, "12abc", -1, "12"},
      {TWTY_UINT16, kNoNames, "abc", -1, "0"},
      {TWTY_INT16, kNoNames, "--5", -1, "0"},
      {TWTY_INT16, kNoNames, "-+5", -1, "0"},
      {TWTY_UINT16, kNoNames, "0x1A", -1, "0"},
      {TWTY_UINT16, kNoNames, "inf", -1, "0"},
      {TWTY_UINT32, kNoNames, ".5e1", -1, "5"},
      // Too large for a double: the limit in the direction of the sign.
      {TWTY_UINT32, kNoNames, "1e999", -1, "4294967295"},
      {TWTY_UINT16, kNoNames, "-1e999", -1, "0"},
      {TWTY_UINT32, kNoNames, "1e-999", -1, "0"},
      {TWTY_BOOL, CAP_FEEDERENABLED, "ignored", 1, "TRUE"},
      {TWTY_UINT16, ICAP_UNITS, "5", 3, "TWUN_POINTS"},
      {TWTY_FIX32, kNoNames, "-10.125", -1, "-10.125"},
      {TWTY_FRAME, kNoNames, "4, 1.5, 6, 10.125", -1, "Frame(4, 1.5, 6, 10.125)"},
      {TWTY_FRAME, kNoNames, "4,1.5,6,10.125", -1, "Frame(4, 1.5, 6, 10.125)"},
      {TWTY_FRAME, kNoNames, "0, 0, 0, 0 (left,top,right,bottom)", -1, "Frame(0, 0, 0, 0)"},
      {TWTY_STR32, CAP_AUTHOR, "Acme", -1, "\"Acme\""},
      {TWTY_STR128, CAP_AUTHOR, "a \"b\"", -1, "\"a \"b\"\""},
      {TWTY_STR32, CAP_AUTHOR, "0123456789012345678901234567890123456789", -1,
       "\"012345678901234567890123456789012\""},
  };
  for (const auto& c : cases) {
    ContainerHandle* h = CONTAINER_CreateArray(c.type, 2);
    EXPECT_TRUE(StoreItemText(h, 1, c.cap, c.text, c.selected)) << c.text;
    EXPECT_EQ(ItemText(c.type, CONTAINER_ItemPtr(h, 1), c.cap), c.shown) << c.text;
    CONTAINER_Free(h);
  }
  EXPECT_TRUE(platform::TakeCapturedMessageBoxes().empty());
}

TEST(ValueTextTest, FramesWithoutFourNumbersAreRefusedWithAMessage) {
  ContainerHandle* h = CONTAINER_CreateEnumeration(TWTY_FRAME, 1);
  ASSERT_TRUE(StoreItemText(h, 0, kNoNames, "1, 2, 3, 4", -1));
  for (const std::string text : {"4 1.5 6 10.125", "4, 1.5, 6", ""}) {
    EXPECT_FALSE(StoreItemText(h, 0, kNoNames, text.c_str(), -1)) << text;
    const auto boxes = platform::TakeCapturedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text +
                                 "\n^ Unable to process this frame value.  Need four numbers "
                                 "(left, top, right, bottom) like this:\n4, 1.5, 6, 10.125");
    EXPECT_EQ(boxes[0].caption, "Vorrel");
  }
  EXPECT_EQ(ItemText(TWTY_FRAME, CONTAINER_ItemPtr(h, 0), kNoNames), "Frame(1, 2, 3, 4)");
  // A store the container refuses is not reported as done.
  EXPECT_FALSE(StoreItemText(h, 1, kNoNames, "1, 2, 3, 4", -1));
  CONTAINER_Free(h);
}

}  // namespace
