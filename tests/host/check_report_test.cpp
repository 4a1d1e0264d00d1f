#include "checks/check_report.h"

#include <gtest/gtest.h>

namespace {

TEST(CheckReportTest, SuppressionLinesNameACheckAndMaybeACapability) {
  const SuppressionFile file = ReadSuppressions(
      "# accepted in CI\n"
      "caps.reset\n"
      "caps.set-readback icap_units   # by name, any case\n"
      "caps.within 0x8001\n"
      "caps.nothing\n"
      "caps.get ICAP_NOTHING\n"
      "caps.get ICAP_UNITS extra\n");
  ASSERT_EQ(file.suppressions.size(), 3u);
  EXPECT_EQ(file.suppressions[0].checkId, "caps.reset");
  EXPECT_EQ(file.suppressions[0].cap, -1);
  EXPECT_EQ(file.suppressions[1].cap, ICAP_UNITS);
  EXPECT_EQ(file.suppressions[2].cap, 0x8001);
  EXPECT_EQ(file.errors, (std::vector<std::string>{"line 5: no check 'caps.nothing'",
                                                   "line 6: no capability 'ICAP_NOTHING'",
                                                   "line 7: more than a check and a capability"}));
}

CheckResult TwoFindings() {
  CheckResult result;
  result.source = "Flatbed <1>";
  for (const CheckRow& row : CheckTable()) result.checks.push_back({&row, CheckOutcome::kPassed, {}});
  result.checks.back().outcome = CheckOutcome::kNotRun;
  result.findings = {{"caps.reset", Severity::kError, ICAP_UNITS, "MSG_RESET(ICAP_UNITS)",
                      "TWRC_SUCCESS", "TWRC_FAILURE, TWCC_BUMMER"},
                     {"caps.querysupport-unclaimed", Severity::kWarning, ICAP_UNITS,
                      "MSG_QUERYSUPPORT(ICAP_UNITS)", "MSG_SET claimed", "not claimed"}};
  return result;
}

TEST(CheckReportTest, ScoreFallsByThePenaltiesOfWhatIsNotSuppressed) {
  CheckResult result = TwoFindings();
  ApplySuppressions(result, {});
  EXPECT_EQ(result.score, 100 - kErrorPenalty - kWarningPenalty);
  EXPECT_EQ(result.errors, 1);
  ApplySuppressions(result, {{"caps.reset", ICAP_PIXELTYPE}});
  EXPECT_EQ(result.errors, 1) << "suppressed for another capability only";
  ApplySuppressions(result, {{"caps.reset", ICAP_UNITS}});
  EXPECT_EQ(result.score, 100 - kWarningPenalty);
  EXPECT_EQ(result.errors, 0);
  for (int i = 0; i < 20; ++i) result.findings.push_back(result.findings[1]);
  ApplySuppressions(result, {{"caps.reset", -1}});
  EXPECT_EQ(result.score, 37);
  for (int i = 0; i < 20; ++i) result.findings.push_back(result.findings[1]);
  EXPECT_EQ(CheckScore(result.findings), 0) << "never below 0";
}

TEST(CheckReportTest, ReportListsFindingsFirstAndJUnitFailsTheirChecks) {
  CheckResult result = TwoFindings();
  ApplySuppressions(result, {{"caps.querysupport-unclaimed", -1}});
  result.notRestored = {"ICAP_UNITS is TWUN_CENTIMETERS, was TWUN_INCHES"};
  const std::string text = CheckReportText(result);
  EXPECT_NE(text.find("\nNot put back after the pass: ICAP_UNITS is TWUN_CENTIMETERS, was "
                      "TWUN_INCHES\n\nFindings\n"),
            std::string::npos)
      << text;
  const auto findings = text.find(
      "\nFindings\nerror caps.reset ICAP_UNITS: MSG_RESET(ICAP_UNITS)\n"
      "    expected: TWRC_SUCCESS\n"
      "    came:     TWRC_FAILURE, TWCC_BUMMER\n");
  const auto suppressed = text.find("\nSuppressed (not scored)\nwarning caps.querysupport-");
  const auto passed = text.find("\nPassed\n  identity.strings: ");
  const auto notRun = text.find(std::string("\nNot run\n  ") + CheckTable().back().id + ": ");
  EXPECT_NE(findings, std::string::npos) << text;
  EXPECT_LT(findings, suppressed) << text;
  EXPECT_LT(suppressed, passed) << text;
  EXPECT_LT(passed, notRun) << text;
  EXPECT_EQ(text.find("  caps.reset: "), std::string::npos) << "a failed check has not passed";

  const std::string xml = CheckJUnitXml(result);
  EXPECT_NE(xml.find("<testsuite name=\"Check Source: Flatbed &lt;1&gt;\" tests=\"" +
                     std::to_string(CheckTable().size()) + "\" failures=\"1\" skipped=\"1\">"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<testcase classname=\"capabilities\" name=\"caps.reset\">\n      <failure "
                     "message=\"1 finding(s): MSG_RESET makes"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("name=\"caps.querysupport-unclaimed\"></testcase>"), std::string::npos)
      << "a suppressed finding fails nothing";
  EXPECT_NE(xml.find(std::string("name=\"") + CheckTable().back().id + "\"><skipped/></testcase>"),
            std::string::npos);
}

}  // namespace
