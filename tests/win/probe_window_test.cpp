// The real probe window, created in-process against Wine's Source Manager
// with the Sample Source installed. The tests read the log and the
// controls' texts; they do not compare pixels.
#include "probe/probe_window.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "caps/logged_operations.h"
#include "pages/log.h"
#include "platform/message_box.h"
#include "probe/resource_ids.h"
#include "probe_window_fixture.h"
#include "session/twain_session.h"

namespace {

TEST_F(ProbeWindowTest, StartupClimbReachesStateFourWithTheSampleFlatbed) {
  ProbeWindow& window = Open();
  ASSERT_EQ(TWAIN_State(), 4) << testing::PrintToString(Lines());
  EXPECT_STREQ(TWAIN_SourceProductName(), "Sample Flatbed");
  EXPECT_EQ(Control(IDC_SOURCE_LIST), "Sample Flatbed");
  EXPECT_EQ(TabCount(), 5);
  EXPECT_EQ(Control(IDC_HIGHER), "Enable Source");
  EXPECT_EQ(Control(IDC_LOWER), "Close Source");
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(window.hwnd(), IDC_DEVICE_UI)));
  const Strings lines = Lines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("Loaded TWAIN Source Manager [", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("   Source Manager: ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("Opened Source Manager [", 0), 0u) << lines[2];
  EXPECT_EQ(lines[3].rfind("Opened Sample Flatbed [", 0), 0u) << lines[3];
  EXPECT_EQ(Text(window.hwnd()), "Vorrel: TWAIN Source Probe");
  // The Source page shows the identity; the first tab's page is the one shown.
  EXPECT_TRUE(IsWindowVisible(window.page(0)->hwnd()));
  EXPECT_FALSE(IsWindowVisible(window.page(4)->hwnd()));
  EXPECT_NE(Text(GetDlgItem(window.page(4)->hwnd(), IDC_IDENTITY_REPORT)).find("Sample Flatbed"),
            std::string::npos);
  // Within one timer period the mechanism shows.
  SendMessageA(window.hwnd(), WM_TIMER, 666, 0);
  EXPECT_EQ(Control(IDC_XFER_MECH), " Xfer Mech: NATIVE");
}

TEST_F(ProbeWindowTest, HigherWithoutDeviceUiReachesImageReadyAndLowerWalksBack) {
  ProbeWindow& window = Open();
  ASSERT_EQ(TWAIN_State(), 4);
  CheckDlgButton(window.hwnd(), IDC_DEVICE_UI, BST_UNCHECKED);
  Click(IDC_DEVICE_UI);
  EXPECT_EQ(TWAIN_UIHidden(), 1);
  Click(IDC_HIGHER);
  EXPECT_TRUE(PumpUntilState(6)) << testing::PrintToString(Lines());
  Strings lines = Lines();
  EXPECT_EQ(lines.back(), "received MSG_XFERREADY");
  EXPECT_EQ(lines[lines.size() - 3], "MSG_SET(ICAP_XFERMECH) -> TWRC_SUCCESS");
  EXPECT_EQ(lines[lines.size() - 2].rfind("Enabled Data Source [", 0), 0u);
  EXPECT_EQ(Control(IDC_HIGHER), "Start Transfer");
  EXPECT_EQ(Control(IDC_LOWER), "Abort Transfer");

  const char* expected[] = {"Aborted Pending Xfers [", "Disable Source [",
                            "Closed Sample Flatbed [", "Closed TWAIN Source Manager [",
                            "Unloaded TWAIN Source Manager ["};
  for (const char* line : expected) {
    Click(IDC_LOWER);
    // The Count the Source returns follows its step as a note.
    Strings now = Lines();
    while (now.size() > 1 && now.back().rfind("   ", 0) == 0) now.pop_back();
    EXPECT_EQ(now.back().rfind(line, 0), 0u) << Lines().back();
  }
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_EQ(Control(IDC_LOWER), "Exit");
  Click(IDC_LOWER);
  EXPECT_TRUE(window.ended());
}

TEST_F(ProbeWindowTest, EnterAndEscapeDoNothing) {
  ProbeWindow& window = Open();
  SendMessageA(window.hwnd(), WM_COMMAND, IDOK, 0);
  SendMessageA(window.hwnd(), WM_COMMAND, IDCANCEL, 0);
  EXPECT_FALSE(window.ended());
  EXPECT_EQ(TWAIN_State(), 4);
  SendMessageA(window.hwnd(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(window.ended());
  EXPECT_EQ(TWAIN_State(), 1) << "destroying the window unbinds the Source Manager";
}

TEST_F(ProbeWindowTest, FinalLinesAreMirroredAndTheLogSavesWithWindowsLineEnds) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string mirror = std::string(folder) + "vorrel-mirror.log";
  const std::string saved = std::string(folder) + "vorrel-saved.log";
  window_ = std::make_unique<ProbeWindow>();
  window_->MirrorLogTo(mirror.c_str());
  ASSERT_TRUE(window_->Open(SW_SHOWNORMAL));
  ASSERT_TRUE(window_->log().SaveTo(saved.c_str()));
  auto read = [](const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
      char buffer[4096];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof(buffer), file)) > 0;)
        text.append(buffer, n);
      std::fclose(file);
    }
    return text;
  };
  std::string expected;
  for (const std::string& line : Lines()) expected += line + "\r\n";
  EXPECT_EQ(read(saved), expected);
  window_.reset();  // closes the mirror
  EXPECT_EQ(read(mirror), expected) << "no provisional line reaches the file";
  DeleteFileA(mirror.c_str());
  DeleteFileA(saved.c_str());
}

TEST_F(ProbeWindowTest, SystemMenuOffersTheAboutBox) {
  ProbeWindow& window = Open();
  HMENU menu = GetSystemMenu(window.hwnd(), FALSE);
  char text[64] = {};
  ASSERT_GT(GetMenuStringA(menu, IDM_ABOUTBOX, text, sizeof(text), MF_BYCOMMAND), 0);
  EXPECT_STREQ(text, "&About Vorrel...");
}

TEST_F(ProbeWindowTest, FaultInsideTheSourceWhileEnablingIsCaughtAndTheWindowGoesOn) {
  SetEnvironmentVariableA("VORREL_FAULT_LAB", "crash-enable");
  ProbeWindow& window = Open();
  HWND list = GetDlgItem(window.hwnd(), IDC_SOURCE_LIST);
  const LRESULT faultLab = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>("Sample Fault Lab"));
  ASSERT_NE(faultLab, CB_ERR);
  SendMessageA(list, CB_SETCURSEL, faultLab, 0);
  SendMessageA(window.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SOURCE_LIST, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
  ASSERT_STREQ(TWAIN_SourceProductName(), "Sample Fault Lab") << testing::PrintToString(Lines());
  ASSERT_EQ(TWAIN_State(), 4);

  Click(IDC_HIGHER);
  SetEnvironmentVariableA("VORREL_FAULT_LAB", nullptr);
  const Strings lines = Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "Exception during state change!");
  EXPECT_EQ(lines.back().rfind("   exception 0xc0000005 at sane.ds+0x", 0), 0u) << lines.back();
  auto boxes = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("An exception (a fatal execution error) has been detected", 0), 0u);
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(TWAIN_Session().callNesting, 0);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window.hwnd(), IDC_LOWER)));
  // The window goes on: the Source can still be closed and the session left.
  Click(IDC_LOWER);
  EXPECT_EQ(TWAIN_State(), 3);
  EXPECT_EQ(Lines().back().rfind("Closed Sample Fault Lab [", 0), 0u);
}

// The About box runs a modal loop of its own. The timer's refresh enables the
// main window again, so the user can close it under the box: both loops must
// end and the window's destruction unbind the session.
TEST_F(ProbeWindowTest, ClosingTheWindowUnderTheAboutBoxEndsTheProgram) {
  ProbeWindow& window = Open();
  ASSERT_EQ(TWAIN_State(), 4);
  static HWND s_main;
  static bool s_closed, s_watchdog;
  s_main = window.hwnd();
  s_closed = s_watchdog = false;
  const UINT_PTR closer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND about = FindWindowA(nullptr, "About Vorrel");
    if (s_closed || !about || !IsWindowVisible(about) || !IsWindowEnabled(s_main)) return;
    s_closed = true;
    PostMessageA(s_main, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  // Ends a loop that waits on for a window that is gone.
  const UINT_PTR watchdog = SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) {
    s_watchdog = true;
    PostQuitMessage(0);
  });
  PostMessageA(s_main, WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(s_main, IDC_ABOUT)));
  window.Run();
  KillTimer(nullptr, closer);
  KillTimer(nullptr, watchdog);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  EXPECT_TRUE(s_closed) << "the About box never showed over an enabled window";
  EXPECT_FALSE(s_watchdog) << "a modal loop waited on after its window was gone";
  EXPECT_TRUE(window.ended());
  EXPECT_FALSE(IsWindow(s_main));
  EXPECT_FALSE(FindWindowA(nullptr, "About Vorrel"));
  EXPECT_EQ(TWAIN_State(), 1) << "the Source and the Manager are closed as the unbind does";
}

// A step that pumps messages (closing the Manager drains the queue) can meet
// the window's Close: the window closes once the step has returned.
TEST_F(ProbeWindowTest, CloseDuringAStepWaitsForTheStepToReturn) {
  ProbeWindow& window = Open();
  Click(IDC_LOWER);
  ASSERT_EQ(TWAIN_State(), 3);
  PostMessageA(window.hwnd(), WM_CLOSE, 0, 0);
  Click(IDC_LOWER);
  EXPECT_TRUE(IsWindow(window.hwnd()));
  EXPECT_FALSE(window.ended());
  EXPECT_EQ(TWAIN_State(), 2);
  EXPECT_EQ(Lines().back().rfind("Closed TWAIN Source Manager [", 0), 0u) << Lines().back();
  EXPECT_TRUE(PumpUntilState(1));
  EXPECT_TRUE(window.ended());
}

TEST_F(ProbeWindowTest, TheSourceReportScrollsSidewaysInsteadOfWrapping) {
  ProbeWindow& window = Open();
  HWND report = GetDlgItem(window.page(4)->hwnd(), IDC_IDENTITY_REPORT);
  ShowWindow(window.page(4)->hwnd(), SW_SHOW);
  const std::string line = "  SupportedGroups: 0x40000003 (DG_CONTROL DG_IMAGE)";
  SetWindowTextA(report, (line + line + "\r\n" + line).c_str());
  EXPECT_EQ(SendMessageA(report, EM_GETLINECOUNT, 0, 0), 2);
  EXPECT_TRUE(GetWindowLongA(report, GWL_STYLE) & WS_HSCROLL);
}

// Hides the Source Manager's file for one test and puts it back.
class HiddenSourceManager {
 public:
  HiddenSourceManager() {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    path_ = std::string(system) + "\\twain_32.dll";
    hidden_ = path_ + ".vorrel-hidden";
    moved_ = MoveFileA(path_.c_str(), hidden_.c_str()) != 0;
  }
  ~HiddenSourceManager() {
    if (moved_) MoveFileA(hidden_.c_str(), path_.c_str());
  }
  bool moved() const { return moved_; }

 private:
  std::string path_, hidden_;
  bool moved_ = false;
};

TEST_F(ProbeWindowTest, WithoutASourceManagerTheWindowStaysInStateOne) {
  HiddenSourceManager hidden;
  ASSERT_TRUE(hidden.moved());
  ProbeWindow& window = Open();
  EXPECT_EQ(TWAIN_State(), 1);
  const Strings lines = Lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(Strings(lines.begin(), lines.begin() + 2),
            (Strings{"Loading TWAIN Source Manager...", ">>> Failed: Is TWAIN Installed?"}));
  // A note for each file looked for, in the order of the search.
  char windows[MAX_PATH], system[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_EQ(Strings(lines.begin() + 2, lines.end()),
            (Strings{"   Not loaded: " + std::string(windows) + "\\TWAIN_32.DLL (no such file)",
                     "   Not loaded: " + std::string(system) + "\\TWAIN_32.DLL (no such file)",
                     "   Not loaded: " + std::string(system) + "\\TWAINDSM.DLL (no such file)"}));
  EXPECT_EQ(TabCount(), 0);
  EXPECT_EQ(Control(IDC_HIGHER), "Load TWAIN");
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window.hwnd(), IDC_HIGHER)));
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(IsWindowVisible(window.page(i)->hwnd()));
  EXPECT_TRUE(platform::TakeCapturedMessageBoxes().empty());
}

}  // namespace

namespace {

TEST_F(ProbeWindowTest, ClosingInImageReadyTakesTheWayDownAndLogsIt) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string mirror = std::string(folder) + "vorrel-close.log";
  window_ = std::make_unique<ProbeWindow>();
  window_->MirrorLogTo(mirror.c_str());
  ASSERT_TRUE(window_->Open(SW_SHOWNORMAL));
  CheckDlgButton(window_->hwnd(), IDC_DEVICE_UI, BST_UNCHECKED);
  Click(IDC_DEVICE_UI);
  Click(IDC_HIGHER);
  ASSERT_TRUE(PumpUntilState(6)) << testing::PrintToString(Lines());
  SendMessageA(window_->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(window_->ended());
  EXPECT_EQ(TWAIN_State(), 1);
  window_.reset();
  std::string logged;
  if (FILE* file = std::fopen(mirror.c_str(), "rb")) {
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof(chunk), file)) > 0;)
      logged.append(chunk, got);
    std::fclose(file);
  }
  std::remove(mirror.c_str());
  // Each step of the way down, in order, as the Source answered it.
  std::size_t at = 0;
  for (const char* line :
       {"   MSG_RESET returned Count 0", "Disable Source [", "Closed Sample Flatbed [",
        "Closed TWAIN Source Manager [", "Unloaded TWAIN Source Manager ["}) {
    at = logged.find(line, at);
    EXPECT_NE(at, std::string::npos) << line << " in\n" << logged;
  }
}

}  // namespace
