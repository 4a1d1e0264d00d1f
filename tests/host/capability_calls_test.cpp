#include "caps/capability_calls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/host/fake_source_manager.h"
#include "platform/host/host_platform.h"
#include "platform/message_box.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "source_block.h"

namespace {

using platform::host::GetMemoryStats;

TW_CAPABILITY SentRecord(const fake::Call& call) {
  TW_CAPABILITY record{};
  if (call.record.size() >= sizeof(record))
    std::memcpy(&record, call.record.data(), sizeof(record));
  return record;
}

class CapabilityCallsTest : public testing::Test {
 protected:
  void SetUp() override {
    dsm.AddSource("Flatbed");
    ASSERT_TRUE(TWAIN_SourceOpenDefault());
    dsm.ClearCalls();
  }

  // The one capability triplet of this message so far (a copy: the list grows).
  fake::Call OnlyCall(TW_UINT16 msg) const {
    const std::vector<fake::Call> calls = dsm.CallsOf(DG_CONTROL, DAT_CAPABILITY, msg);
    EXPECT_EQ(calls.size(), 1u) << dsm.Transcript();
    return calls.empty() ? fake::Call{} : calls[0];
  }

  fake::SourceManager dsm;
};

TEST_F(CapabilityCallsTest, RefusesBelowState4WithoutATriplet) {
  ASSERT_TRUE(TWAIN_SourceClose());
  ContainerHandle* h = CONTAINER_CreateOneValue(TWTY_UINT16, 1);
  TW_UINT16 value = 0;
  const struct {
    const char* text;
    std::function<bool()> call;
  } cases[] = {
      {"TWAIN_GetXXX below State 4.", [] { return TWAIN_Get(ICAP_UNITS) != nullptr; }},
      {"TWAIN_GetXXX below State 4.", [] { return TWAIN_GetDefault(ICAP_UNITS) != nullptr; }},
      {"Setting capability in State < 4.", [h] { return TWAIN_SetCap(ICAP_UNITS, h); }},
      {"TWAIN_Reset below State 4.", [] { return TWAIN_Reset(ICAP_UNITS); }},
      {"Attempt to get capability value below State 4.",
       [&value] { return TWAIN_GetCurrentValue(ICAP_UNITS, TWTY_UINT16, &value); }},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(c.call()) << c.text;
    const auto boxes = platform::TakeCapturedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u) << c.text;
    EXPECT_EQ(boxes[0].text, c.text);
    EXPECT_EQ(boxes[0].caption, "TWAIN Error");
  }
  for (const fake::Call& call : dsm.Calls()) EXPECT_NE(call.dat, DAT_CAPABILITY) << call.Text();
  CONTAINER_Free(h);
}

TEST_F(CapabilityCallsTest, FourShapesRoundTripThroughSetAndGet) {
  ContainerHandle* one = CONTAINER_CreateOneValue(TWTY_FIX32, 2.5);
  ContainerHandle* range = CONTAINER_CreateRange(TWTY_INT16, -10, 10, 5);
  CONTAINER_SelectCurrent(range, 5);
  ContainerHandle* list = CONTAINER_CreateEnumeration(TWTY_UINT16, 3);
  for (int n = 0; n < 3; ++n) CONTAINER_SetItemValue(list, n, 100 * (n + 1));
  CONTAINER_SelectDefaultItem(list, 2);
  ContainerHandle* array = CONTAINER_CreateArray(TWTY_STR32, 2);
  CONTAINER_SetItemText(array, 1, "Widget");

  dsm.OnCap(ICAP_XRESOLUTION, MSG_SET).Return(TWRC_SUCCESS);
  for (ContainerHandle* sent : {one, range, list, array}) {
    SCOPED_TRACE(CONTAINER_Format(sent));
    dsm.ClearCalls();
    ASSERT_TRUE(TWAIN_SetCap(ICAP_XRESOLUTION, sent));
    const fake::Call set = OnlyCall(MSG_SET);
    const TW_CAPABILITY record = SentRecord(set);
    EXPECT_EQ(record.Cap, ICAP_XRESOLUTION);
    EXPECT_EQ(record.ConType, CONTAINER_Format(sent));
    EXPECT_EQ(set.container, BlockBytes(sent));

    dsm.OnCap(ICAP_XRESOLUTION, MSG_GET)
        .ReplyContainer(CONTAINER_Format(sent), set.container)
        .Times(1);
    ContainerHandle* got = TWAIN_Get(ICAP_XRESOLUTION);
    ASSERT_NE(got, nullptr);
    const TW_CAPABILITY asked = SentRecord(OnlyCall(MSG_GET));
    EXPECT_EQ(asked.ConType, TWON_DONTCARE16);
    EXPECT_EQ(TW_HANDLE{asked.hContainer}, nullptr);
    EXPECT_EQ(CONTAINER_Format(got), CONTAINER_Format(sent));
    EXPECT_EQ(BlockBytes(got), BlockBytes(sent));
    CONTAINER_Free(got);
  }
  for (ContainerHandle* h : {one, range, list, array}) CONTAINER_Free(h);
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST_F(CapabilityCallsTest, FailuresReturnNothingAndLeakNothing) {
  ContainerHandle* h = CONTAINER_CreateOneValue(TWTY_UINT16, 2);
  dsm.OnCap(ICAP_PIXELTYPE, MSG_SET).Return(TWRC_CHECKSTATUS);
  EXPECT_FALSE(TWAIN_SetCap(ICAP_PIXELTYPE, h));
  EXPECT_EQ(TWAIN_GetResultCode(), TWRC_CHECKSTATUS);
  CONTAINER_Free(h);
  // No container, nothing to send.
  dsm.ClearCalls();
  EXPECT_FALSE(TWAIN_SetCap(ICAP_PIXELTYPE, nullptr));
  EXPECT_TRUE(dsm.Calls().empty());
  // The model answers TWCC_CAPUNSUPPORTED to every capability.
  EXPECT_EQ(TWAIN_Get(ICAP_BRIGHTNESS), nullptr);
  EXPECT_EQ(TWAIN_GetConditionCode(), TWCC_CAPUNSUPPORTED);
  dsm.OnCap(ICAP_CONTRAST, MSG_GETCURRENT).Return(TWRC_SUCCESS);
  EXPECT_EQ(TWAIN_GetCurrent(ICAP_CONTRAST), nullptr);
  // Blocks a Source hands over with a failure, or with a reset, are freed.
  dsm.OnCap(ICAP_GAMMA, MSG_GET)
      .ReplyContainer(TWON_ONEVALUE, LeBytes().U16(TWTY_FIX32).U32(0))
      .Return(TWRC_FAILURE);
  EXPECT_EQ(TWAIN_Get(ICAP_GAMMA), nullptr);
  dsm.OnCap(ICAP_GAMMA, MSG_RESET).ReplyContainer(TWON_ONEVALUE, LeBytes().U16(7).U32(0));
  EXPECT_TRUE(TWAIN_Reset(ICAP_GAMMA));
  EXPECT_TRUE(platform::TakeCapturedMessageBoxes().empty());
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
}

TEST_F(CapabilityCallsTest, SetOneValueTakesIntegerTypesOnly) {
  EXPECT_FALSE(TWAIN_SetCapOneValue(CAP_FEEDERENABLED, TWTY_FIX32, 1));
  EXPECT_FALSE(TWAIN_SetCapOneValue(CAP_FEEDERENABLED, -1, 1));
  const auto refusals = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(refusals.size(), 2u);
  EXPECT_EQ(refusals[1].text, "TWAIN_SetCapOneValue: invalid item type.");
  EXPECT_TRUE(dsm.Calls().empty());

  dsm.OnCap(CAP_FEEDERENABLED, MSG_SET).Return(TWRC_SUCCESS);
  EXPECT_TRUE(TWAIN_SetCapOneValue(CAP_FEEDERENABLED, TWTY_BOOL, 1));
  const fake::Call set = OnlyCall(MSG_SET);
  EXPECT_EQ(SentRecord(set).ConType, TWON_ONEVALUE);
  EXPECT_EQ(set.container, (std::vector<std::uint8_t>{TWTY_BOOL, 0, 1, 0, 0, 0}));

  platform::host::FailAllocations(1);
  EXPECT_FALSE(TWAIN_SetCapOneValue(CAP_FEEDERENABLED, TWTY_BOOL, 1));
  const auto boxes = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Insufficient Memory");
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
}

TEST_F(CapabilityCallsTest, CurrentValueCopiesCompatibleCurrentItemsOnly) {
  const struct {
    const char* what;
    TW_UINT16 conType;
    std::vector<std::uint8_t> bytes;
    TW_UINT16 units;
    TW_UINT16 rc = TWRC_SUCCESS;
  } cases[] = {
      {"uint16 enumeration", TWON_ENUMERATION,
       LeBytes().U16(TWTY_UINT16).U32(3).U32(2).U32(0).U16(0).U16(1).U16(5), TWUN_PIXELS},
      {"int16 enumeration", TWON_ENUMERATION,
       LeBytes().U16(TWTY_INT16).U32(2).U32(1).U32(0).U16(0).U16(3), TWUN_POINTS},
      {"range", TWON_RANGE, LeBytes().U16(TWTY_UINT16).U32(0).U32(5).U32(1).U32(0).U32(4),
       TWUN_TWIPS},
      {"uint16 one-value", TWON_ONEVALUE, LeBytes().U16(TWTY_UINT16).U32(TWUN_PIXELS), TWUN_PIXELS},
      {"fix32 one-value", TWON_ONEVALUE, LeBytes().U16(TWTY_FIX32).U32(0x10000), TWUN_INCHES},
      {"array", TWON_ARRAY, LeBytes().U16(TWTY_UINT16).U32(1).U16(TWUN_PIXELS), TWUN_INCHES},
      // Untrusted: the index is below NumItems but beyond the block.
      {"index beyond the block", TWON_ENUMERATION,
       LeBytes().U16(TWTY_UINT16).U32(50).U32(40).U32(0).U16(3), TWUN_INCHES},
      {"empty block", TWON_ONEVALUE, {}, TWUN_INCHES},
      // The index must name one of the items, even with more bytes behind them.
      {"index equal to the count", TWON_ENUMERATION,
       LeBytes().U16(TWTY_UINT16).U32(2).U32(2).U32(0).U16(0).U16(1).U16(TWUN_PIXELS), TWUN_INCHES},
      // A failing Source that hands over a block anyway: not read, but freed.
      {"failure with a block", TWON_ONEVALUE, LeBytes().U16(TWTY_UINT16).U32(TWUN_PIXELS),
       TWUN_INCHES, TWRC_FAILURE},
  };
  for (const auto& c : cases) {
    dsm.ClearCalls();
    dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT).ReplyContainer(c.conType, c.bytes).Return(c.rc).Times(1);
    EXPECT_EQ(TWAIN_GetCurrentUnits(), c.units) << c.what;
    EXPECT_EQ(SentRecord(OnlyCall(MSG_GETCURRENT)).ConType, TWON_ONEVALUE);
    EXPECT_EQ(GetMemoryStats().liveBlocks, 0) << c.what;
  }
  EXPECT_EQ(TWAIN_GetCurrentUint16(ICAP_PIXELTYPE, 0x12345), 0x2345);
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST_F(CapabilityCallsTest, CurrentValueReportsWhetherItCopied) {
  const struct {
    const char* what;
    TW_UINT16 conType;
    std::vector<std::uint8_t> bytes;
    int asked;
    bool copied;
    std::uint32_t value;
  } cases[] = {
      {"int8 read as uint8", TWON_ONEVALUE, LeBytes().U16(TWTY_INT8).U32(0xF0), TWTY_UINT8, true,
       0xAAAAAAF0},
      {"uint32 read as int32", TWON_ONEVALUE, LeBytes().U16(TWTY_UINT32).U32(7), TWTY_INT32, true,
       7},
      {"uint32 read as uint16", TWON_ONEVALUE, LeBytes().U16(TWTY_UINT32).U32(7), TWTY_UINT16,
       false, 0xAAAAAAAA},
      {"array has no current item", TWON_ARRAY, LeBytes().U16(TWTY_UINT16).U32(1).U16(5),
       TWTY_UINT16, false, 0xAAAAAAAA},
      {"empty block", TWON_ONEVALUE, {}, TWTY_UINT16, false, 0xAAAAAAAA},
      {"cut before its item", TWON_ONEVALUE, LeBytes().U16(TWTY_UINT32).U16(7), TWTY_UINT32, false,
       0xAAAAAAAA},
  };
  for (const auto& c : cases) {
    dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT).ReplyContainer(c.conType, c.bytes).Times(1);
    std::uint32_t value = 0xAAAAAAAA;
    EXPECT_EQ(TWAIN_GetCurrentValue(ICAP_UNITS, c.asked, &value), c.copied) << c.what;
    EXPECT_EQ(value, c.value) << c.what << ": only the item's own bytes are written";
  }
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);

  // No buffer to copy into: nothing is read, the answer is still freed.
  dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT)
      .ReplyContainer(TWON_ONEVALUE, LeBytes().U16(TWTY_UINT16).U32(3))
      .Times(1);
  EXPECT_FALSE(TWAIN_GetCurrentValue(ICAP_UNITS, TWTY_UINT16, nullptr));
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);

  // A block that cannot be locked is not read, and is still freed.
  dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT).Run([](const fake::Call&, TW_MEMREF data) {
    auto* record = static_cast<TW_CAPABILITY*>(data);
    record->ConType = TWON_ONEVALUE;
    record->hContainer = platform::MemAlloc(6);
    platform::host::FailLocks(1);
    return TWRC_SUCCESS;
  });
  std::uint16_t value = 7;
  EXPECT_FALSE(TWAIN_GetCurrentValue(ICAP_UNITS, TWTY_UINT16, &value));
  EXPECT_EQ(value, 7);
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
}

}  // namespace
