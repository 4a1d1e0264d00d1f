// Check Source in the real window: the question before going down, the pass
// and the report page, against the installed Sample Flatbed.
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

// What the report page held when the timer found it, before it closed it.
struct SeenPage {
  bool found = false;
  std::string caption;
  std::string text;
  bool ladderEnabled = true;  // Higher while the page was up
};
SeenPage g_seen;
HWND g_main = nullptr;

void CALLBACK CloseReportPage(HWND, UINT, UINT_PTR, DWORD) {
  HWND page = FindWindowA("#32770", nullptr);
  while (page && !GetDlgItem(page, IDC_CHECK_REPORT_TEXT))
    page = FindWindowExA(nullptr, page, "#32770", nullptr);
  if (!page || g_seen.found) return;
  g_seen.found = true;
  g_seen.caption = Text(page);
  g_seen.text = Text(GetDlgItem(page, IDC_CHECK_REPORT_TEXT));
  g_seen.ladderEnabled = IsWindowEnabled(g_main);
  PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

TEST_F(CheckReportPageTest, FromStateSixItAsksGoesDownAsLowerDoesAndShowsTheReport) {
  ProbeWindow& window = Open();
  ASSERT_EQ(TWAIN_State(), 4);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window.hwnd(), IDC_CHECK_SOURCE)));
  SendDlgItemMessageA(window.hwnd(), IDC_DEVICE_UI, BM_SETCHECK, BST_UNCHECKED, 0);
  Click(IDC_DEVICE_UI);
  Click(IDC_HIGHER);
  ASSERT_TRUE(PumpUntilState(6));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window.hwnd(), IDC_CHECK_SOURCE)));

  // Cancel leaves the session where it was. The timer closes a report page
  // that should not have come.
  g_seen = {};
  g_main = window.hwnd();
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseReportPage);
  platform::CaptureMessageBoxes(true);
  platform::AnswerCapturedQuestions(false);
  Click(IDC_CHECK_SOURCE);
  EXPECT_FALSE(g_seen.found) << "the pass ran after Cancel";
  EXPECT_EQ(TWAIN_State(), 6);
  auto boxes = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kCheckGoDownQuestion);

  platform::AnswerCapturedQuestions(true);
  g_seen = {};
  Click(IDC_CHECK_SOURCE);
  KillTimer(nullptr, timer);
  EXPECT_EQ(platform::TakeCapturedMessageBoxes().size(), 1u);
  ASSERT_TRUE(g_seen.found) << "the report page never showed";
  EXPECT_EQ(g_seen.caption, "Check Source: Sample Flatbed");
  EXPECT_EQ(g_seen.text.rfind("Check Source: Sample Flatbed\r\nScore 100 of 100, 0 error(s)\r\n"
                              "\r\nFindings\r\n  none\r\n",
                              0),
            0u)
      << g_seen.text;
  EXPECT_NE(g_seen.text.find("\r\nPassed\r\n  identity.strings: "), std::string::npos);
  EXPECT_FALSE(g_seen.ladderEnabled) << "the page is modal";
  EXPECT_EQ(TWAIN_State(), 4);
  // Down as Lower goes, then the pass.
  const Strings lines = Lines();
  auto at = [&](const char* prefix) {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i].rfind(prefix, 0) == 0) return i;
    return lines.size();
  };
  EXPECT_LT(at("Aborted Pending Xfers ["), at("Disable Source ["));
  EXPECT_LT(at("Disable Source ["), at("   Checking identity..."));
  EXPECT_LT(at("   Checking identity..."), lines.size()) << testing::PrintToString(lines);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window.hwnd(), IDC_CHECK_SOURCE)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window.hwnd(), IDC_HIGHER)));

  // Closed, the Source is no longer open: Check Source goes off with it.
  Click(IDC_LOWER);
  ASSERT_EQ(TWAIN_State(), 3);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window.hwnd(), IDC_CHECK_SOURCE)));
}

TEST_F(CheckReportPageTest, TheReportIsReadOnlyFixedPitchAndSavedAsShown) {
  CheckResult result;
  result.source = "Sample Fault Lab";
  result.findings.push_back({"mandatory.get", Severity::kError, ICAP_UNITS, "MSG_GET(ICAP_UNITS)",
                             "TWRC_SUCCESS", "TWRC_FAILURE"});
  result.score = 90;
  result.errors = 1;
  CheckReportPage page(result);
  ASSERT_TRUE(page.Create(IDD_CHECK_REPORT, nullptr));
  HWND view = page.Item(IDC_CHECK_REPORT_TEXT);
  EXPECT_EQ(Text(view), CheckPageText(result));
  const LONG style = GetWindowLongA(view, GWL_STYLE);
  EXPECT_TRUE(style & ES_READONLY);
  EXPECT_TRUE(style & ES_MULTILINE);
  EXPECT_TRUE(style & WS_VSCROLL);
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
  std::ifstream file(path, std::ios::binary);
  std::stringstream saved;
  saved << file.rdbuf();
  file.close();
  EXPECT_EQ(saved.str(), CheckPageText(result));
  std::remove(path.c_str());
  EXPECT_FALSE(page.SaveTo((std::string(folder) + "no such folder\\check.txt").c_str()));
}

}  // namespace
