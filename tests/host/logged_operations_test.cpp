#include "caps/logged_operations.h"

#include "pages/log.h"
#include "pages/log_store.h"
#include "session_test_support.h"
#include "source_block.h"

namespace {

using Strings = std::vector<std::string>;

class LoggedOperationsTest : public SessionTest {
 protected:
  void SetUp() override {
    GoTo(4);
    SetLogSink([](const char* t, bool f, void* c) { static_cast<LogStore*>(c)->Write(t, f); },
               &log);
  }
  std::string LastLine() const { return log.count() ? log.line(log.count() - 1) : ""; }

  LogStore log;
};

TEST_F(LoggedOperationsTest, GetLogsItsLineAndAsksTheConditionEvenAfterSuccess) {
  dsm.OnCap(CAP_SUPPORTEDCAPS, MSG_GET)
      .ReplyContainer(TWON_ARRAY,
                      LeBytes().U16(TWTY_UINT16).U32(2).U16(CAP_XFERCOUNT).U16(ICAP_XFERMECH));
  ContainerHandle* h = LoggedGet(CAP_SUPPORTEDCAPS);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(CONTAINER_Format(h), TWON_ARRAY);
  CONTAINER_Free(h);
  EXPECT_EQ(LastLine(), "MSG_GET(CAP_SUPPORTEDCAPS) -> TWRC_SUCCESS");
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_STATUS, MSG_GET), 1u);
  EXPECT_EQ(LastResultText(), "TWRC_SUCCESS");
}

TEST_F(LoggedOperationsTest, FailureCarriesTheConditionCodeAndEachOperationItsPrefix) {
  dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT).Return(TWRC_FAILURE).Condition(TWCC_BADCAP);
  EXPECT_EQ(LoggedGetCurrent(ICAP_UNITS), nullptr);
  EXPECT_EQ(LastLine(), "MSG_GETCURRENT(ICAP_UNITS) -> TWRC_FAILURE, TWCC_BADCAP");
  LoggedGetDefault(0x8001);
  EXPECT_EQ(LastLine(), "MSG_GETDEFAULT(CAP_0x8001) -> TWRC_FAILURE, TWCC_CAPUNSUPPORTED");
  dsm.OnCap(ICAP_XRESOLUTION, MSG_RESET).Return(TWRC_CHECKSTATUS).Condition(TWCC_BADVALUE);
  EXPECT_FALSE(LoggedReset(ICAP_XRESOLUTION));
  EXPECT_EQ(LastLine(), "MSG_RESET(ICAP_XRESOLUTION) -> TWRC_CHECKSTATUS, TWCC_BADVALUE");
}

TEST_F(LoggedOperationsTest, SettingTheMechanismRemembersTheFirstItemSent) {
  dsm.OnCap(ICAP_XFERMECH, MSG_SET).Return(TWRC_SUCCESS);
  ContainerHandle* h = CONTAINER_CreateEnumeration(TWTY_UINT16, 2);
  CONTAINER_SetItemValue(h, 0, TWSX_MEMORY);
  CONTAINER_SetItemValue(h, 1, TWSX_NATIVE);
  CONTAINER_SelectCurrentItem(h, 1);
  EXPECT_TRUE(LoggedSet(ICAP_XFERMECH, h));
  EXPECT_EQ(CurrentXferMech(), TWSX_MEMORY) << "whatever the current index";
  EXPECT_TRUE(XferMechNegotiated());
  EXPECT_TRUE(CONTAINER_IsValid(h)) << "the handle stays the caller's";
  CONTAINER_Free(h);
  EXPECT_EQ(LastLine(), "MSG_SET(ICAP_XFERMECH) -> TWRC_SUCCESS");

  EXPECT_TRUE(LoggedSetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE));
  EXPECT_EQ(CurrentXferMech(), TWSX_FILE);
}

TEST_F(LoggedOperationsTest, FailedResetLeavesTheMechanismAndGetsNeverChangeIt) {
  dsm.OnCap(ICAP_XFERMECH, MSG_SET).Return(TWRC_SUCCESS);
  LoggedSetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY);
  SetXferMechNegotiated(false);
  dsm.OnCap(ICAP_XFERMECH, MSG_RESET).Return(TWRC_FAILURE).Times(1);
  EXPECT_FALSE(LoggedReset(ICAP_XFERMECH));
  EXPECT_EQ(CurrentXferMech(), TWSX_MEMORY);
  EXPECT_FALSE(XferMechNegotiated());
  dsm.OnCap(ICAP_XFERMECH, MSG_GET)
      .ReplyContainer(TWON_ONEVALUE, LeBytes().U16(TWTY_UINT16).U32(TWSX_FILE));
  CONTAINER_Free(LoggedGet(ICAP_XFERMECH));
  EXPECT_EQ(CurrentXferMech(), TWSX_MEMORY);

  dsm.OnCap(ICAP_XFERMECH, MSG_RESET).Return(TWRC_SUCCESS);
  EXPECT_TRUE(LoggedReset(ICAP_XFERMECH));
  EXPECT_EQ(CurrentXferMech(), TWSX_NATIVE);
  EXPECT_TRUE(XferMechNegotiated());
}

TEST_F(LoggedOperationsTest, WithTheLogSwitchOffOnlyTheLineIsDropped) {
  SetLogSwitch(false);
  dsm.OnCap(ICAP_UNITS, MSG_RESET).Return(TWRC_FAILURE).Condition(TWCC_SEQERROR);
  LoggedReset(ICAP_UNITS);
  SetLogSwitch(true);
  EXPECT_EQ(log.count(), 0);
  EXPECT_EQ(LastResultText(), "TWRC_FAILURE, TWCC_SEQERROR");
}

TEST_F(LoggedOperationsTest, RefusedBelowStateFourStillLogsWhatIsKnown) {
  TWAIN_SourceClose();
  EXPECT_EQ(LoggedGet(ICAP_UNITS), nullptr);
  EXPECT_EQ(platform::TakeCapturedMessageBoxes().at(0).text, "TWAIN_GetXXX below State 4.");
  EXPECT_EQ(LastLine(), "MSG_GET(ICAP_UNITS) -> TWRC_SUCCESS")
      << "the close left TWRC_SUCCESS and nobody was asked for a condition";
}

}  // namespace
