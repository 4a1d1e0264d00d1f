#include "pages/value_editors.h"

#include <gtest/gtest.h>

#include "caps/set_rules.h"
#include "platform/message_box.h"
#include "source_block.h"
#include "twain/twain.h"

namespace {

using Strings = std::vector<std::string>;

// Owns a built container for the test's scope.
struct Built {
  explicit Built(ContainerHandle* handle) : h(handle) {}
  ~Built() { CONTAINER_Free(h); }
  ContainerHandle* h;
};

TEST(SetRulesTest, FixedRowsWinOverTheRegistryAndUnknownCodesTakeUint16OneValues) {
  EXPECT_EQ(LookupSetRule(ICAP_XRESOLUTION).mask, kSetEnumeration | kSetOneValue | kSetRange);
  EXPECT_EQ(LookupSetRule(ICAP_XRESOLUTION).itemType, TWTY_FIX32);
  EXPECT_EQ(LookupSetRule(CAP_EXTENDEDCAPS).first, TWON_ARRAY);
  EXPECT_EQ(LookupSetRule(ICAP_FRAMES).itemType, TWTY_FRAME);
  EXPECT_EQ(LookupSetRule(CAP_SUPPORTEDCAPS).mask, 0);
  EXPECT_EQ(LookupSetRule(ICAP_MINIMUMWIDTH).mask, 0);
  RegisterItemType(ICAP_UNITS, TWTY_FIX32);
  EXPECT_EQ(LookupSetRule(ICAP_UNITS).itemType, TWTY_UINT16) << "a named row is fixed";
  const SetRule other = LookupSetRule(0x8042);
  EXPECT_EQ(other.itemType, TWTY_UINT16);
  EXPECT_EQ(other.mask, kSetOneValue);
  RegisterItemType(0x8042, TWTY_STR32);
  RegisterItemType(0x8042, TWTY_INT8);
  EXPECT_EQ(LookupSetRule(0x8042).itemType, TWTY_STR32) << "the first pair counts";
  RegisterItemType(0x8043, TWTY_INT8);
  EXPECT_EQ(LookupSetRule(0x8043).itemType, TWTY_INT8) << "type 0 is learned too";
  EXPECT_EQ(RegisteredItemType(0), -1) << "the free slots hold code 0, and it is not learned";
  const int held = RegisteredItemTypeCount();
  for (int i = 0; i < 300; ++i) RegisterItemType(0x9000 + i, TWTY_INT16);
  EXPECT_EQ(RegisteredItemTypeCount(), kItemTypeRegistrySize);
  const int last = kItemTypeRegistrySize - held - 1;
  EXPECT_EQ(RegisteredItemType(0x9000 + last), TWTY_INT16);
  EXPECT_EQ(RegisteredItemType(0x9000 + last + 1), -1) << "full: no more pairs";
}

TEST(NamedValuesTest, NamesStopAtTheFirstNumberAndOnlyPlainNumberTypesHaveThem) {
  EXPECT_EQ(NamedValues(ICAP_UNITS, TWTY_UINT16),
            (Strings{"TWUN_INCHES", "TWUN_CENTIMETERS", "TWUN_PICAS", "TWUN_POINTS", "TWUN_TWIPS",
                     "TWUN_PIXELS"}));
  EXPECT_EQ(NamedValues(CAP_FEEDERENABLED, TWTY_BOOL), (Strings{"FALSE", "TRUE"}));
  EXPECT_TRUE(NamedValues(ICAP_XRESOLUTION, TWTY_FIX32).empty());
  EXPECT_TRUE(NamedValues(ICAP_UNITS, TWTY_STR32).empty());
  EXPECT_TRUE(NamedValues(ICAP_UNITS, TWTY_STR255 + 1).empty()) << "an item type no table knows";
  // Capability codes name 0 "0x0000": no names. Sizes name 54 values; 33 are offered.
  EXPECT_TRUE(NamedValues(CAP_SUPPORTEDCAPS, TWTY_UINT16).empty());
  EXPECT_EQ(NamedValues(ICAP_SUPPORTEDSIZES, TWTY_UINT16).size(), 33u);
  // Filters name 0 to 8: the list ends before the value shown as "9".
  EXPECT_EQ(NamedValues(ICAP_FILTER, TWTY_UINT16).size(), 9u);
  EXPECT_EQ(DefaultEditText(TWTY_FIX32), "0.0");
  EXPECT_EQ(DefaultEditText(TWTY_FRAME), "0, 0, 0, 0 (left,top,right,bottom)");
  EXPECT_EQ(DefaultEditText(TWTY_STR32), "");
  EXPECT_EQ(DefaultEditText(TWTY_STR255), "");
  EXPECT_EQ(DefaultEditText(TWTY_STR128), "");
  EXPECT_EQ(DefaultEditText(TWTY_BOOL), "0");
}

TEST(ValueListTest, PixelTypeMarkersFollowChecksAndTheEnumerationCarriesThem) {
  ValueList list;
  list.SetUp(ICAP_PIXELTYPE);
  ASSERT_EQ(list.items().size(), 10u);
  EXPECT_EQ(list.items()[2].text, "TWPT_RGB");
  EXPECT_FALSE(list.CanEdit());
  list.Toggle(1);
  list.Toggle(2);
  EXPECT_EQ(list.Marker(1), kMarkerDefault | kMarkerCurrent);
  EXPECT_EQ(list.Marker(2), 0);
  {
    Built sent(list.Build(TWON_ENUMERATION));
    ASSERT_EQ(CONTAINER_ItemCount(sent.h), 2);
    EXPECT_EQ(CONTAINER_IntValue(sent.h, 0), 1);
    EXPECT_EQ(CONTAINER_IntValue(sent.h, 1), 2);
    EXPECT_EQ(CONTAINER_CurrentIndex(sent.h), 0);
    EXPECT_EQ(CONTAINER_DefaultIndex(sent.h), 0);
  }
  list.Toggle(1);
  EXPECT_EQ(list.Marker(2), kMarkerDefault | kMarkerCurrent) << "both markers move on";
  Built sent(list.Build(TWON_ENUMERATION));
  ASSERT_EQ(CONTAINER_ItemCount(sent.h), 1);
  EXPECT_EQ(CONTAINER_IntValue(sent.h, 0), 2);
}

TEST(ValueListTest, UncheckPrefersTheNearestCheckedItemBeforeElseTheLastAfter) {
  ValueList list;
  list.SetUp(ICAP_BITDEPTH);
  for (int k : {4, 5, 9, 7}) list.Check(k);
  list.MakeCurrent(5);
  list.MakeDefault(5);
  list.Uncheck(5);
  EXPECT_EQ(list.current(), 4);
  EXPECT_EQ(list.defaultIndex(), 4);
  list.Uncheck(4);
  EXPECT_EQ(list.current(), 9) << "none before: the highest checked after";
  list.Uncheck(9);
  list.Uncheck(7);
  EXPECT_EQ(list.current(), -1);
  // The nearest before wins over a checked neighbour after.
  list.Check(-1);
  list.Check(1 << 20);
  EXPECT_EQ(list.current(), -1) << "items that do not exist are not checked";
  // The first item checked becomes current and default, even item 0.
  list.Check(0);
  list.Check(1);
  EXPECT_EQ(list.current(), 0);
  EXPECT_EQ(list.defaultIndex(), 0);
  for (int k : {0, 1}) list.Uncheck(k);
  for (int k : {2, 3, 4}) list.Check(k);
  list.MakeCurrent(3);
  list.Uncheck(3);
  EXPECT_EQ(list.current(), 2);
  for (int k : {2, 4}) list.Uncheck(k);
  // The first item is found before as well.
  for (int k : {0, 5, 7}) list.Check(k);
  list.MakeCurrent(5);
  list.Uncheck(5);
  EXPECT_EQ(list.current(), 0);
  // The marker picture: its upper-left half is current, the rest default.
  list.ClickMarker(4, 3, 3);
  list.ClickMarker(6, 12, 12);
  EXPECT_EQ(list.current(), 4);
  EXPECT_EQ(list.defaultIndex(), 6);
  EXPECT_TRUE(list.items()[6].checked);
  list.ClickMarker(6, 12, 3);
  EXPECT_EQ(list.current(), 6) << "x + y = 15: the upper-left half";
  list.ClickMarker(4, 12, 4);
  EXPECT_EQ(list.defaultIndex(), 4) << "x + y = 16: the lower-right half";
}

TEST(ValueListTest, BitDepthTypedTwentyFourAndEmptyListsStillBuild) {
  ValueList list;
  list.SetUp(ICAP_BITDEPTH);
  ASSERT_EQ(list.items().size(), static_cast<std::size_t>(kBlankValueItems));
  EXPECT_EQ(list.items()[0].text, "-uint16-");
  ASSERT_TRUE(list.CanEdit());
  {
    Built none(list.Build(TWON_ENUMERATION));
    ASSERT_NE(none.h, nullptr);
    EXPECT_EQ(CONTAINER_ItemCount(none.h), 0);
    EXPECT_EQ(CONTAINER_CurrentIndex(none.h), 0);
    Built array(list.Build(TWON_ARRAY));
    EXPECT_EQ(CONTAINER_Format(array.h), TWON_ARRAY);
    EXPECT_EQ(CONTAINER_ItemCount(array.h), 0);
  }
  list.FinishEdit(-1, "7");
  list.FinishEdit(1 << 20, "7");
  list.FinishEdit(5, "24");
  EXPECT_EQ(list.Marker(5), kMarkerDefault | kMarkerCurrent);
  Built sent(list.Build(TWON_ENUMERATION));
  ASSERT_EQ(CONTAINER_ItemCount(sent.h), 1);
  EXPECT_EQ(CONTAINER_IntValue(sent.h, 0), 24);

  // A capability that cannot be set gets a disabled, empty list.
  list.SetUp(CAP_SUPPORTEDCAPS);
  EXPECT_FALSE(list.enabled());
  EXPECT_TRUE(list.items().empty());
}

TEST(OneValueEditorTest, FramesAuthorsAndNamedValuesBuildTheirItems) {
  const OneValueChoice frame = OneValueReload(ICAP_FRAMES, TWTY_FRAME);
  EXPECT_FALSE(frame.useList);
  EXPECT_EQ(frame.text, "0, 0, 0, 0 (left,top,right,bottom)");
  {
    Built sent(OneValueBuild(ICAP_FRAMES, TWTY_FRAME, -1, "1, 2, 3.5, 4"));
    const auto* item = static_cast<const TW_FRAME*>(CONTAINER_ItemPtr(sent.h, 0));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(Fix32ToNumber(item->Right), 3.5);
    EXPECT_EQ(Fix32ToNumber(item->Bottom), 4.0);
  }
  {
    Built sent(OneValueBuild(ICAP_FRAMES, TWTY_FRAME, -1, "1 2 3 4"));
    EXPECT_NE(sent.h, nullptr) << "sent all the same";
    const auto boxes = platform::TakeCapturedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("Unable to process this frame value"), std::string::npos);
  }
  {
    const std::string longText(200, 'a');
    Built sent(OneValueBuild(CAP_AUTHOR, TWTY_STR128, -1, longText));
    EXPECT_EQ(CONTAINER_ItemType(sent.h), TWTY_STR128);
    EXPECT_EQ(sent.h->size, 132u);
    // Cut to the item's 130 bytes, the last kept for the terminating zero.
    const auto bytes = BlockBytes(sent.h);
    EXPECT_EQ(bytes[130], 'a');
    EXPECT_EQ(bytes[131], 0);
  }
  const OneValueChoice units = OneValueReload(ICAP_UNITS, TWTY_UINT16);
  ASSERT_TRUE(units.useList);
  Built pixels(OneValueBuild(ICAP_UNITS, TWTY_UINT16, 5, "ignored"));
  EXPECT_EQ(CONTAINER_IntValue(pixels.h, 0), TWUN_PIXELS);
}

TEST(RangeEditorTest, ValuesOutsideTheItemsStayAtMinAndTypedNumbersAreRewritten) {
  RangeInput input;
  input.step = "100";
  input.pairs[kRangeMin].editText = "100";
  input.pairs[kRangeMax].editText = "600";
  input.pairs[kRangeCurrent] = {true, -1, "300", ""};
  input.pairs[kRangeDefault] = {true, -1, "250", ""};
  Built sent(RangeBuild(ICAP_XRESOLUTION, TWTY_FIX32, input));
  ASSERT_NE(sent.h, nullptr);
  EXPECT_EQ(CONTAINER_RangeMin(sent.h), 100);
  EXPECT_EQ(CONTAINER_RangeMax(sent.h), 600);
  EXPECT_EQ(CONTAINER_RangeStep(sent.h), 100);
  EXPECT_EQ(CONTAINER_CurrentValue(sent.h), 300);
  EXPECT_EQ(CONTAINER_DefaultValue(sent.h), 100) << "250 is not an item";
  input.pairs[kRangeDefault].dropDownText = "200";
  Built withDefault(RangeBuild(ICAP_XRESOLUTION, TWTY_FIX32, input));
  EXPECT_EQ(CONTAINER_DefaultValue(withDefault.h), 200);

  input.step = "2.50";
  input.pairs[kRangeMin].editText = "abc";
  Built again(RangeBuild(ICAP_XRESOLUTION, TWTY_FIX32, input));
  EXPECT_EQ(input.step, "2.5");
  EXPECT_EQ(input.pairs[kRangeMin].editText, "0") << "not a number reads as 0";
  EXPECT_EQ(input.pairs[kRangeCurrent].dropDownText, "300");

  // Named Min and Max take the selected entry's index; the texts stay.
  RangeInput named;
  named.step = "1";
  named.pairs[kRangeMin] = {true, 0, "3", ""};
  named.pairs[kRangeMax] = {true, 4, "TWUN_TWIPS", ""};
  Built inches(RangeBuild(ICAP_UNITS, TWTY_UINT16, named));
  EXPECT_EQ(CONTAINER_RangeMin(inches.h), 0) << "the selected first entry, whatever the text";
  named.pairs[kRangeMin] = {true, 1, "TWUN_CENTIMETERS", ""};
  Built units(RangeBuild(ICAP_UNITS, TWTY_UINT16, named));
  EXPECT_EQ(CONTAINER_RangeMin(units.h), 1);
  EXPECT_EQ(CONTAINER_RangeMax(units.h), 4);
  EXPECT_EQ(named.pairs[kRangeMin].dropDownText, "TWUN_CENTIMETERS");

  RangeInput frames;
  EXPECT_EQ(RangeBuild(ICAP_FRAMES, TWTY_FRAME, frames), nullptr);
}

}  // namespace
