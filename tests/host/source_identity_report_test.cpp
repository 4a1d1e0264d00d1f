#include "pages/source_identity_report.h"

#include <gtest/gtest.h>

#include <cstring>

#include "session_test_support.h"

namespace {

TEST(SourceIdentityReportTest, GroupsAreNamedWithoutALeadingBlank) {
  EXPECT_EQ(SupportedGroupsText(0x3), "DG_CONTROL DG_IMAGE");
  EXPECT_EQ(SupportedGroupsText(0x6), "DG_IMAGE DG_AUDIO");
  EXPECT_EQ(SupportedGroupsText(0), "");
}

TEST(SourceIdentityReportTest, ReportHasEveryFieldInItsColumn) {
  TW_IDENTITY identity{};
  identity.Id = 0x2a;
  identity.Version = {2, 7, 13, 1, "2.7 beta"};
  identity.ProtocolMajor = 1;
  identity.ProtocolMinor = 9;
  identity.SupportedGroups = 0x3;
  std::strcpy(identity.Manufacturer, "Acme");
  std::strcpy(identity.ProductFamily, "Scanners");
  std::memset(identity.ProductName, 'P', 32);
  EXPECT_EQ(SourceIdentityReport(identity),
            "               Id: 0x0000002a\r\n"
            "      ProductName: \"" +
                std::string(32, 'P') +
                "\"\r\n"
                "    ProductFamily: \"Scanners\"\r\n"
                "     Manufacturer: \"Acme\"\r\n"
                "         Protocol: 1.9\r\n"
                "  SupportedGroups: 0x3 (DG_CONTROL DG_IMAGE)\r\n"
                "       Version...\r\n"
                "         MajorNum: 2\r\n"
                "         MinorNum: 7\r\n"
                "         Language: 13\r\n"
                "          Country: 1\r\n"
                "             Info: \"2.7 beta\"\r\n");
}

TEST(SourceIdentityReportTest, UnterminatedTextsStayInsideTheirFields) {
  TW_IDENTITY identity;
  std::memset(&identity, 'Q', sizeof(identity));
  const std::string report = SourceIdentityReport(identity);
  EXPECT_NE(report.find("ProductName: \"" + std::string(34, 'Q') + "\""), std::string::npos);
}

TEST_F(SessionTest, SourcePageFollowsTheStateItIsTold) {
  EXPECT_EQ(SourcePageText(3, 3), std::nullopt);
  EXPECT_EQ(SourcePageText(3, 4), std::optional<std::string>(kNoSourceText));
  GoTo(4);
  auto text = SourcePageText(4, 3);
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("ProductName: \"Flatbed\""), std::string::npos);
  EXPECT_EQ(SourcePageText(5, 4), std::nullopt) << "the report stays through states 5 to 7";
  EXPECT_EQ(SourcePageText(5, 3), std::nullopt) << "a jump past 4 keeps the notice";
}

}  // namespace
