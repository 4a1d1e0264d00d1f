#include "pages/image_info_report.h"

#include "caps/container.h"
#include "pages/log.h"
#include "pages/log_store.h"
#include "session_test_support.h"
#include "source_block.h"

namespace {

class ImageInfoTest : public SessionTest {
 protected:
  void SetUp() override {
    GoTo(6);
    SetLogSink([](const char* t, bool f, void* c) { static_cast<LogStore*>(c)->Write(t, f); },
               &log);
  }
  void TearDown() override { ResetLog(); }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < log.count(); ++i) lines.push_back(log.line(i));
    return lines;
  }
  void AnswerUnits(TW_UINT16 units) {
    dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT)
        .ReplyContainer(TWON_ONEVALUE, LeBytes().U16(TWTY_UINT16).U32(units));
  }

  LogStore log;
};

TEST_F(ImageInfoTest, GetReportsTheRecordInTheSourcesCurrentUnits) {
  dsm.On(DG_IMAGE, DAT_IMAGEINFO, MSG_GET).Fill([](TW_MEMREF data) {
    auto* info = static_cast<TW_IMAGEINFO*>(data);
    info->XResolution = NumberToFix32(150.5);
    info->YResolution = NumberToFix32(300);
    info->ImageWidth = 1275;
    info->ImageLength = 1650;
    info->SamplesPerPixel = 4;
    for (int i = 0; i < 4; ++i) info->BitsPerSample[i] = static_cast<TW_INT16>(8 + i);
    info->BitsPerPixel = 32;
    info->Planar = TW_TRUE;
    info->PixelType = TWPT_RGB;
    info->Compression = TWCP_NONE;
  });
  AnswerUnits(TWUN_CENTIMETERS);
  const auto report = ImageInfoGet();
  ASSERT_TRUE(report) << dsm.Transcript();
  EXPECT_EQ(*report,
            "XResolution     = 150.5 pixels/cm\r\n"
            "YResolution     = 300 pixels/cm\r\n"
            "ImageWidth      = 1275 pixels\r\n"
            "ImageLength     = 1650 pixels\r\n"
            "SamplesPerPixel = 4\r\n"
            "BitsPerSample[] = [8, 9, 10]\r\n"
            "BitsPerPixel    = 32\r\n"
            "Planar          = True\r\n"
            "PixelType       = TWPT_RGB\r\n"
            "Compression     = TWCP_NONE");
  EXPECT_EQ(Lines(), std::vector<std::string>{"(DG_IMAGE,DAT_IMAGEINFO,MSG_GET) -> TWRC_SUCCESS"});
  // The units are asked after the record, at the moment of the report.
  EXPECT_EQ(Sent(),
            (std::vector<std::string>{TripletText(DG_IMAGE, DAT_IMAGEINFO, MSG_GET),
                                      TripletText(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT)}));
}

TEST_F(ImageInfoTest, FailedGetShowsNothingAndLogsTheCondition) {
  dsm.On(DG_IMAGE, DAT_IMAGEINFO, MSG_GET).Return(TWRC_FAILURE).Condition(TWCC_SEQERROR);
  EXPECT_EQ(ImageInfoGet(), std::nullopt);
  EXPECT_EQ(Lines(), std::vector<std::string>{
                         "(DG_IMAGE,DAT_IMAGEINFO,MSG_GET) -> TWRC_FAILURE, TWCC_SEQERROR"});
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT), 0u);
}

TEST_F(ImageInfoTest, NonsenseFromTheSourceIsShownAsItCame) {
  dsm.On(DG_IMAGE, DAT_IMAGEINFO, MSG_GET).Fill([](TW_MEMREF data) {
    auto* info = static_cast<TW_IMAGEINFO*>(data);
    info->XResolution = TW_FIX32{0, 0};
    info->YResolution = TW_FIX32{-1, 0x8000};
    info->ImageWidth = -7;
    info->ImageLength = INT32_MIN;
    info->SamplesPerPixel = -3;
    info->PixelType = 99;
    info->Compression = 0xBEEF;
  });
  AnswerUnits(77);
  const auto report = ImageInfoGet();
  ASSERT_TRUE(report);
  EXPECT_NE(report->find("XResolution     = 0 pixels/?\r\n"), std::string::npos) << *report;
  EXPECT_NE(report->find("YResolution     = -0.5 pixels/?\r\n"), std::string::npos) << *report;
  EXPECT_NE(report->find("ImageWidth      = -7 pixels\r\nImageLength     = -2147483648 pixels"),
            std::string::npos);
  EXPECT_NE(report->find("SamplesPerPixel = -3\r\nBitsPerSample[] = [0, 0, 0]"), std::string::npos);
  EXPECT_NE(
      report->find("Planar          = False\r\nPixelType       = 99\r\nCompression     = 48879"),
      std::string::npos)
      << *report;
}

TEST_F(ImageInfoTest, UnreadableUnitsReportInches) {
  dsm.On(DG_IMAGE, DAT_IMAGEINFO, MSG_GET).Return(TWRC_SUCCESS);
  dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT).Return(TWRC_FAILURE).Condition(TWCC_CAPUNSUPPORTED);
  const auto report = ImageInfoGet();
  ASSERT_TRUE(report);
  EXPECT_EQ(report->rfind("XResolution     = 0 pixels/inch\r\n", 0), 0u) << *report;
}

TEST(ImageInfoEnablingTest, GetIsEnabledExactlyInStateSix) {
  for (int state = 1; state <= 7; ++state) {
    EXPECT_EQ(ImageInfoGetEnabled(state, state == 1 ? 2 : 1), state == 6) << state;
  }
  EXPECT_EQ(ImageInfoGetEnabled(6, 6), std::nullopt) << "an unchanged state leaves the button";
}

}  // namespace
