#include "pages/check_page.h"

#include <gtest/gtest.h>

namespace {

TEST(CheckPageTest, TheButtonStartsInStatesFourToSixAndGoesDownOnlyFromFiveAndSix) {
  for (int state = 1; state <= 7; ++state) {
    EXPECT_EQ(CheckAllowedIn(state), state >= 4 && state <= 6) << state;
    EXPECT_EQ(CheckGoesDownFrom(state), state == 5 || state == 6) << state;
  }
}

TEST(CheckPageTest, ThePageShowsTheReportWithScoreFirstAndWindowsLineEnds) {
  CheckResult result;
  result.source = "Sample Fault Lab";
  result.findings.push_back({"mandatory.get", Severity::kError, ICAP_UNITS, "MSG_GET(ICAP_UNITS)",
                             "TWRC_SUCCESS", "TWRC_FAILURE"});
  result.score = 90;
  result.errors = 1;
  EXPECT_EQ(CheckPageCaption(result), "Check Source: Sample Fault Lab");
  const std::string text = CheckPageText(result);
  EXPECT_EQ(text.rfind("Check Source: Sample Fault Lab\r\nScore 90 of 100, 1 error(s)\r\n", 0), 0u)
      << text;
  EXPECT_NE(text.find("\r\nFindings\r\nerror mandatory.get ICAP_UNITS"), std::string::npos) << text;
  std::string bare = text;
  for (std::size_t at; (at = bare.find("\r\n")) != std::string::npos;) bare.erase(at, 2);
  EXPECT_EQ(bare.find('\n'), std::string::npos) << "a line end without its carriage return";
  EXPECT_EQ(CheckPageCaption(CheckResult{}), "Check Source");
}

TEST(CheckPageTest, TheSavedReportIsNamedAfterTheSourceWithNothingThatLeavesItsFolder) {
  CheckResult result;
  const struct {
    const char* source;
    const char* file;
  } cases[] = {{"Sample Flatbed", "Sample Flatbed check.txt"},
               {"..\\..\\Windows\\x", ".._.._Windows_x check.txt"},
               {"a/b:c*d?e\"f<g>h|i\tj", "a_b_c_d_e_f_g_h_i_j check.txt"},
               {"...", "check.txt"},
               {"", "check.txt"}};
  for (const auto& c : cases) {
    result.source = c.source;
    EXPECT_EQ(CheckReportFileName(result), c.file) << c.source;
  }
}

}  // namespace
