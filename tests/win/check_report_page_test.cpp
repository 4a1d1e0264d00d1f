// Check Source in the real window against the installed Sample Flatbed: the
// question before going down, the pass and the report page.
#include "probe/check_report_page.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "pages/check_page.h"
#include "platform/message_box.h"
#include "probe_window_fixture.h"

namespace {

class CheckReportPageTest : public ProbeWindowTest {
 protected:
  void TearDown() override {
    platform::CaptureMessageBoxes(false);
    platform::AnswerCapturedQuestions(true);
    platform::TakeCapturedMessageBoxes();
    ProbeWindowTest::TearDown();
  }
};

// The caption and text of the report page the timer found, and closed.
std::string g_seen;

void CALLBACK CloseReportPage(HWND, UINT, UINT_PTR, DWORD) {
  HWND page = FindWindowA("#32770", nullptr);
  while (page && !GetDlgItem(page, IDC_CHECK_REPORT_TEXT))
    page = FindWindowExA(nullptr, page, "#32770", nullptr);
  if (!page || !g_seen.empty()) return;
  g_seen = Text(page) + "|" + Text(GetDlgItem(page, IDC_CHECK_REPORT_TEXT));
  PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

TEST_F(CheckReportPageTest, FromStateSixItAsksGoesDownAsLowerDoesAndShowsTheReport) {
  ProbeWindow& window = Open();
  HWND button = GetDlgItem(window.hwnd(), IDC_CHECK_SOURCE);
  SendDlgItemMessageA(window.hwnd(), IDC_DEVICE_UI, BM_SETCHECK, BST_UNCHECKED, 0);
  Click(IDC_DEVICE_UI);
  Click(IDC_HIGHER);
  ASSERT_TRUE(PumpUntilState(6));
  EXPECT_TRUE(IsWindowEnabled(button));

  // Cancel leaves the session as it was; the timer closes a page that comes anyway.
  g_seen.clear();
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseReportPage);
  platform::CaptureMessageBoxes(true);
  platform::AnswerCapturedQuestions(false);
  Click(IDC_CHECK_SOURCE);
  EXPECT_EQ(g_seen, "") << "the pass ran after Cancel";
  EXPECT_EQ(TWAIN_State(), 6);
  auto boxes = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kCheckGoDownQuestion);

  platform::AnswerCapturedQuestions(true);
  Click(IDC_CHECK_SOURCE);
  KillTimer(nullptr, timer);
  EXPECT_EQ(g_seen.rfind("Check Source: Sample Flatbed|Check Source: Sample Flatbed\r\n"
                         "Score 100 of 100, 0 error(s)\r\n\r\nFindings\r\n  none\r\n",
                         0),
            0u)
      << g_seen;
  EXPECT_EQ(TWAIN_State(), 4);
  std::string log;
  for (const std::string& line : Lines()) log += line + "\n";
  EXPECT_NE(log.find("Aborted Pending Xfers ["), std::string::npos) << log;
  EXPECT_LT(log.find("Disable Source ["), log.find("   Checking identity...")) << log;
  EXPECT_TRUE(IsWindowEnabled(button));

  Click(IDC_LOWER);
  ASSERT_EQ(TWAIN_State(), 3);
  EXPECT_FALSE(IsWindowEnabled(button)) << "no Source is open";
}

TEST_F(CheckReportPageTest, TheReportIsReadOnlyFixedPitchAndSavedAsShown) {
  CheckResult result;
  result.source = "Sample Fault Lab";
  result.findings.push_back({"mandatory.get", Severity::kError, ICAP_UNITS, "MSG_GET(ICAP_UNITS)",
                             "TWRC_SUCCESS", "TWRC_FAILURE"});
  CheckReportPage page(result);
  ASSERT_TRUE(page.Create(IDD_CHECK_REPORT, nullptr));
  HWND view = page.Item(IDC_CHECK_REPORT_TEXT);
  EXPECT_EQ(Text(view), CheckPageText(result));
  EXPECT_TRUE(GetWindowLongA(view, GWL_STYLE) & ES_READONLY);
  // Narrow and wide letters take the same room.
  HDC dc = GetDC(view);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(view, WM_GETFONT, 0, 0)));
  SIZE narrow{}, wide{};
  GetTextExtentPoint32A(dc, "iiii", 4, &narrow);
  GetTextExtentPoint32A(dc, "WWWW", 4, &wide);
  SelectObject(dc, old);
  ReleaseDC(view, dc);
  EXPECT_EQ(narrow.cx, wide.cx);

  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "vorrel-check-page.txt";
  ASSERT_TRUE(page.SaveTo(path.c_str()));
  std::stringstream saved;
  saved << std::ifstream(path, std::ios::binary).rdbuf();
  EXPECT_EQ(saved.str(), CheckPageText(result));
  std::remove(path.c_str());
  EXPECT_FALSE(page.SaveTo((std::string(folder) + "no such folder\\check.txt").c_str()));
}

}  // namespace
