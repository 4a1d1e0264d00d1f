#include "pages/capability_display.h"

#include "pages/log.h"
#include "pages/log_store.h"
#include "session_test_support.h"
#include "source_block.h"

namespace {

class CapabilityDisplayTest : public SessionTest {};

TEST_F(CapabilityDisplayTest, ReportListsEachCapabilitysAnswersInThePagesFormsSilently) {
  GoTo(4);
  LogStore log;
  SetLogSink([](const char* t, bool f, void* c) { static_cast<LogStore*>(c)->Write(t, f); }, &log);
  dsm.OnCap(ICAP_UNITS, MSG_GET)
      .ReplyContainer(TWON_ENUMERATION,
                      LeBytes().U16(TWTY_UINT16).U32(2).U32(1).U32(0).U16(0).U16(5));
  dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT)
      .ReplyContainer(TWON_ONEVALUE, LeBytes().U16(TWTY_UINT16).U32(5));
  dsm.OnCap(ICAP_UNITS, MSG_GETDEFAULT).Return(TWRC_FAILURE).Condition(TWCC_SEQERROR);
  std::string report = "left from before";
  CapabilityReportText("Id: 1\r\n", {ICAP_UNITS, 0x8001}, report);
  EXPECT_EQ(report,
            "Id: 1\r\n"
            "\r\nICAP_UNITS\r\n"
            "  MSG_GET\r\n"
            "    uint16 ENUMERATION = TWUN_PIXELS\r\n"
            "    Default: TWUN_INCHES\r\n"
            "    [0] TWUN_INCHES\r\n"
            "    [1] TWUN_PIXELS\r\n"
            "  MSG_GETCURRENT\r\n"
            "    uint16 ONEVALUE = TWUN_PIXELS\r\n"
            "  MSG_GETDEFAULT\r\n"
            "    Error: TWRC_FAILURE, TWCC_SEQERROR\r\n"
            "\r\nCAP_0x8001\r\n"
            "  MSG_GET\r\n"
            "    Error: TWRC_FAILURE, TWCC_CAPUNSUPPORTED\r\n"
            "  MSG_GETCURRENT\r\n"
            "    Error: TWRC_FAILURE, TWCC_CAPUNSUPPORTED\r\n"
            "  MSG_GETDEFAULT\r\n"
            "    Error: TWRC_FAILURE, TWCC_CAPUNSUPPORTED\r\n");
  EXPECT_EQ(log.count(), 0);
  EXPECT_TRUE(LogSwitch());
}

TEST_F(CapabilityDisplayTest, ReadBackNoteOnlyWhenBothValuesAreKnownAndDiffer) {
  EXPECT_EQ(ReadBackNote("300", "200"), "current value is now 200 (sent 300)");
  EXPECT_FALSE(ReadBackNote("300", "300"));
  EXPECT_FALSE(ReadBackNote(std::nullopt, "300"));
  EXPECT_FALSE(ReadBackNote("300", std::nullopt));
  // An array has no current value; an enumeration's index outside its items neither.
  ContainerHandle* array = CONTAINER_CreateArray(TWTY_UINT16, 2);
  EXPECT_FALSE(CurrentValueText(array, ICAP_UNITS));
  CONTAINER_Free(array);
  ContainerHandle* h =
      AttachBytes(TWON_ENUMERATION, LeBytes().U16(TWTY_UINT16).U32(1).U32(1).U32(0).U16(2));
  EXPECT_FALSE(CurrentValueText(h, ICAP_UNITS));
  CONTAINER_Free(h);
  h = AttachBytes(TWON_ENUMERATION, LeBytes().U16(TWTY_UINT16).U32(1).U32(0).U32(0).U16(2));
  EXPECT_EQ(CurrentValueText(h, ICAP_UNITS), "TWUN_PICAS") << "the first item as current";
  CONTAINER_Free(h);
}

}  // namespace
