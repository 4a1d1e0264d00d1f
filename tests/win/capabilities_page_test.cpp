// The Capabilities page in the real window against Wine's Source Manager and
// the Sample Source: what the list holds, what each answer shows, and SETs
// through each of the four editors reaching the Source.
#include "probe/capabilities_page.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

#include "caps/set_rules.h"
#include "platform/message_box.h"
#include "platform/settings.h"
#include "probe_window_fixture.h"
#include "session/triplet_calls.h"

namespace {

class CapabilitiesPageTest : public ProbeWindowTest {
 protected:
  void SetUp() override {
    platform::SetSettingsLocation("Kandrith", "VorrelTests");
    ProbeWindowTest::SetUp();
  }
  void TearDown() override {
    ProbeWindowTest::TearDown();
    SetEnvironmentVariableA("VORREL_FAULT_LAB", nullptr);
  }

  CapabilitiesPage& Open() {
    ProbeWindowTest::Open();
    return Page();
  }
  CapabilitiesPage& Page() { return *static_cast<CapabilitiesPage*>(window_->page(0)); }
  HWND Control(int id) { return GetDlgItem(Page().hwnd(), id); }
  Strings Listed() {
    Strings texts;
    HWND list = Control(IDC_CAP_LIST);
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char text[64] = {};
      SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      texts.push_back(text);
    }
    return texts;
  }
  void Select(const char* name) {
    HWND list = Control(IDC_CAP_LIST);
    ASSERT_NE(SendMessageA(list, LB_SELECTSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(name)),
              LB_ERR)
        << name;
    SendMessageA(Page().hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CAP_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
  }
  // Picks the SET strip's tab for the container type, as a click does.
  void PickTab(int conType) {
    const auto& tabs = Page().model().tabs();
    const auto found = std::find(tabs.begin(), tabs.end(), conType);
    ASSERT_NE(found, tabs.end());
    HWND strip = Control(IDC_CAP_SET_TABS);
    SendMessageA(strip, TCM_SETCURSEL, found - tabs.begin(), 0);
    NMHDR header{strip, IDC_CAP_SET_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(Page().hwnd(), WM_NOTIFY, IDC_CAP_SET_TABS, reinterpret_cast<LPARAM>(&header));
  }
  // The answer as shown: the edit field's text, or the drop-down's lines.
  Strings Answer(int textId, int linesId) {
    HWND lines = Control(linesId);
    if (!IsWindowVisible(lines) && (GetWindowLongA(lines, GWL_STYLE) & WS_VISIBLE) == 0)
      return {Text(Control(textId))};
    Strings shown;
    const int count = static_cast<int>(SendMessageA(lines, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char text[256] = {};
      SendMessageA(lines, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      shown.push_back(text);
    }
    return shown;
  }
  Strings Current() { return Answer(IDC_CAP_CURRENT_TEXT, IDC_CAP_CURRENT_LINES); }
  // A finished in-place edit of a value list item, as the list view reports it.
  // The SET strip's tabs as the user reads them.
  Strings StripTexts() {
    HWND strip = Control(IDC_CAP_SET_TABS);
    Strings texts;
    const int count = static_cast<int>(SendMessageA(strip, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char text[16] = {};
      TCITEMA item{};
      item.mask = TCIF_TEXT;
      item.pszText = text;
      item.cchTextMax = sizeof(text);
      SendMessageA(strip, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
      texts.push_back(text);
    }
    return texts;
  }
  void EditItem(ValueEditor* editor, int k, const char* text) {
    HWND list = GetDlgItem(editor->hwnd(), IDC_VALUE_LIST);
    NMLVDISPINFOA info{};
    info.hdr = {list, IDC_VALUE_LIST, static_cast<UINT>(LVN_ENDLABELEDITA)};
    info.item.iItem = k;
    info.item.pszText = const_cast<char*>(text);
    SendMessageA(editor->hwnd(), WM_NOTIFY, IDC_VALUE_LIST, reinterpret_cast<LPARAM>(&info));
  }
};

TEST_F(CapabilitiesPageTest, StartupListsWhatTheSampleFlatbedAnswersAndShowsTheFirstEntry) {
  CapabilitiesPage& page = Open();
  ASSERT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(Listed(), (Strings{"CAP_0x8001",          "CAP_0x8100",         "CAP_AUTHOR",
                               "CAP_DEVICEONLINE",    "CAP_FEEDERENABLED",  "CAP_INDICATORS",
                               "CAP_SUPPORTEDCAPS",   "CAP_UICONTROLLABLE", "CAP_XFERCOUNT",
                               "ICAP_BITDEPTH",       "ICAP_BRIGHTNESS",    "ICAP_COMPRESSION",
                               "ICAP_CONTRAST",       "ICAP_FRAMES",        "ICAP_IMAGEFILEFORMAT",
                               "ICAP_PHYSICALHEIGHT", "ICAP_PHYSICALWIDTH", "ICAP_PIXELTYPE",
                               "ICAP_SUPPORTEDSIZES", "ICAP_UNITS",         "ICAP_XFERMECH",
                               "ICAP_XRESOLUTION",    "ICAP_YRESOLUTION"}));
  EXPECT_EQ(RegisteredItemType(0x8001), TWTY_INT32);
  EXPECT_EQ(RegisteredItemType(0x8100), TWTY_UINT16);
  EXPECT_TRUE(IsWindowEnabled(Control(IDC_CAP_LIST)));
  EXPECT_EQ(SendMessageA(Control(IDC_CAP_LIST), LB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(page.model().selected(), 0x8001);
  EXPECT_EQ(Text(Control(IDC_CAP_GROUP)), "CAP_0x8001");
  EXPECT_EQ(page.model().tabs(),
            (std::vector<int>{TWON_ARRAY, TWON_ENUMERATION, TWON_ONEVALUE, TWON_RANGE}));
  EXPECT_TRUE(IsWindowVisible(Control(IDC_CAP_SET_TABS)));
  EXPECT_EQ(SendMessageA(Control(IDC_CAP_SET_TABS), TCM_GETITEMCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessageA(Control(IDC_CAP_SET_TABS), TCM_GETCURSEL, 0, 0), 2);
  EXPECT_TRUE(IsWindowVisible(page.Editor(TWON_ONEVALUE)->hwnd()));
  EXPECT_FALSE(IsWindowVisible(page.Editor(TWON_RANGE)->hwnd()));
  const Strings lines = Lines();
  EXPECT_EQ(lines[lines.size() - 2], "Enumerating capabilities...");
  EXPECT_EQ(lines.back(), "MSG_GET(CAP_SUPPORTEDCAPS) -> TWRC_SUCCESS");

  Select("ICAP_UNITS");
  EXPECT_EQ(Answer(IDC_CAP_GET_TEXT, IDC_CAP_GET_LINES),
            (Strings{"uint16 ENUMERATION = TWUN_INCHES", "Default: TWUN_INCHES", "[0] TWUN_INCHES",
                     "[1] TWUN_CENTIMETERS", "[2] TWUN_PICAS", "[3] TWUN_POINTS", "[4] TWUN_TWIPS",
                     "[5] TWUN_PIXELS"}));
  EXPECT_EQ(Current(), Strings{"uint16 ONEVALUE = TWUN_INCHES"});
  EXPECT_EQ(StripTexts(), (Strings{"ENUM", "ONEVAL"}));
  Select("ICAP_XRESOLUTION");
  EXPECT_EQ(StripTexts(), (Strings{"ENUM", "ONEVAL", "RANGE"}));
  Select("ICAP_YRESOLUTION");
  EXPECT_EQ(StripTexts(), (Strings{"ENUM", "ONEVAL", "RANGE"}));
  Select("CAP_SUPPORTEDCAPS");
  EXPECT_TRUE(IsWindowVisible(Control(IDC_CAP_CANNOT_SET)));
  EXPECT_FALSE(IsWindowEnabled(Control(IDC_CAP_SET)));
  EXPECT_EQ(lines.size(), Lines().size()) << "selecting writes nothing";
}

TEST_F(CapabilitiesPageTest, ARunGivesTheListAndThePageTheirDrawingBackAndLeavesAHiddenPageHidden) {
  CapabilitiesPage& page = Open();
  ASSERT_EQ(TWAIN_State(), 4);
  const auto drawsAgain = [&] {
    // A list that draws keeps its scroll bar up to date as entries come.
    HWND list = Control(IDC_CAP_LIST);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("ZZ_LAST"));
    SCROLLINFO bar{};
    bar.cbSize = sizeof(bar);
    bar.fMask = SIF_RANGE;
    GetScrollInfo(list, SB_VERT, &bar);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(count - 1), 0);
    return bar.nMax == count - 1;
  };
  // A run with the page shown, as when the list is refreshed in front of the user.
  ASSERT_TRUE(IsWindowVisible(page.hwnd()));
  page.EnumerateCapabilities();
  EXPECT_TRUE(IsWindowVisible(page.hwnd()));
  EXPECT_TRUE(IsWindowVisible(Control(IDC_CAP_LIST)));
  EXPECT_TRUE(drawsAgain());

  SelectTab(1);
  page.EnumerateCapabilities();
  EXPECT_EQ(GetWindowLongA(page.hwnd(), GWL_STYLE) & WS_VISIBLE, 0) << "behind another tab";
  EXPECT_EQ(Listed().size(), 23u);
  SelectTab(0);
  EXPECT_TRUE(IsWindowVisible(page.hwnd()));
  EXPECT_TRUE(drawsAgain());
}

TEST_F(CapabilitiesPageTest, SetThroughEachEditorReachesTheSourceAndResetUndoesIt) {
  CapabilitiesPage& page = Open();
  ASSERT_EQ(TWAIN_State(), 4);

  // One value: a named value picked from the list.
  Select("ICAP_UNITS");
  PickTab(TWON_ONEVALUE);
  ValueEditor* oneValue = page.Editor(TWON_ONEVALUE);
  SendDlgItemMessageA(oneValue->hwnd(), IDC_ONEVALUE_LIST, LB_SETCURSEL, TWUN_CENTIMETERS, 0);
  ClickOn(page.hwnd(), IDC_CAP_SET);
  EXPECT_EQ(Lines().back(), "MSG_SET(ICAP_UNITS) -> TWRC_SUCCESS");
  EXPECT_EQ(Current(), Strings{"uint16 ONEVALUE = TWUN_CENTIMETERS"});
  ClickOn(page.hwnd(), IDC_CAP_RESET);
  EXPECT_EQ(Lines().back(), "MSG_RESET(ICAP_UNITS) -> TWRC_SUCCESS");
  EXPECT_EQ(Current(), Strings{"uint16 ONEVALUE = TWUN_INCHES"});

  // Enumeration: the selected names toggled on; the first checked is current.
  Select("ICAP_PIXELTYPE");
  PickTab(TWON_ENUMERATION);
  ValueEditor* enumeration = page.Editor(TWON_ENUMERATION);
  HWND values = GetDlgItem(enumeration->hwnd(), IDC_VALUE_LIST);
  LVITEMA selected{};
  selected.stateMask = selected.state = LVIS_SELECTED;
  SendMessageA(values, LVM_SETITEMSTATE, TWPT_GRAY, reinterpret_cast<LPARAM>(&selected));
  SendMessageA(values, LVM_SETITEMSTATE, TWPT_RGB, reinterpret_cast<LPARAM>(&selected));
  ClickOn(enumeration->hwnd(), IDC_VALUE_TOGGLE);
  ClickOn(page.hwnd(), IDC_CAP_SET);
  EXPECT_EQ(Lines().back().rfind("MSG_SET(ICAP_PIXELTYPE) -> ", 0), 0u) << "no note: kept";
  EXPECT_EQ(Current(), Strings{"uint16 ONEVALUE = TWPT_GRAY"}) << testing::PrintToString(Lines());

  // Range: typed numbers.
  Select("ICAP_BRIGHTNESS");
  PickTab(TWON_RANGE);
  HWND range = page.Editor(TWON_RANGE)->hwnd();
  SetDlgItemTextA(range, IDC_RANGE_MIN_EDIT, "-1000");
  SetDlgItemTextA(range, IDC_RANGE_MAX_EDIT, "1000");
  SetDlgItemTextA(range, IDC_RANGE_STEP, "10.0");
  SetDlgItemTextA(range, IDC_RANGE_CURRENT_LIST, "250");
  SetDlgItemTextA(range, IDC_RANGE_DEFAULT_LIST, "0");
  ClickOn(page.hwnd(), IDC_CAP_SET);
  EXPECT_EQ(Text(GetDlgItem(range, IDC_RANGE_STEP)), "10");
  EXPECT_EQ(Current(), Strings{"fix32 ONEVALUE = 250"}) << testing::PrintToString(Lines());

  // Array: typed items of the custom tone curve, learned as uint16.
  Select("CAP_0x8100");
  PickTab(TWON_ARRAY);
  ValueEditor* array = page.Editor(TWON_ARRAY);
  EditItem(array, 0, "10");
  EditItem(array, 1, "200");
  EditItem(array, 2, "30");
  ClickOn(page.hwnd(), IDC_CAP_SET);
  EXPECT_EQ(Current(), (Strings{"uint16 ARRAY", "0. 10", "1. 200", "2. 30"}))
      << testing::PrintToString(Lines());
}

TEST_F(CapabilitiesPageTest, ASourceThatKeepsAnotherValueGetsAReadBackNote) {
  CapabilitiesPage& page = Open();
  Select("ICAP_XRESOLUTION");
  PickTab(TWON_ONEVALUE);
  SetDlgItemTextA(page.Editor(TWON_ONEVALUE)->hwnd(), IDC_ONEVALUE_EDIT, "250");
  ClickOn(page.hwnd(), IDC_CAP_SET);
  const Strings lines = Lines();
  EXPECT_EQ(lines[lines.size() - 2].rfind("MSG_SET(ICAP_XRESOLUTION) -> TWRC_CHECKSTATUS", 0), 0u);
  EXPECT_EQ(lines.back(), "   current value is now 200 (sent 250)");
}

TEST_F(CapabilitiesPageTest, TheChosenContainerIsKeptInTheRegistryAndUsedAfterARestart) {
  Open();
  Select("ICAP_XRESOLUTION");
  PickTab(TWON_RANGE);
  EXPECT_EQ(platform::ReadSettingInt("ICAP_XRESOLUTION", "SetCon", 0), TWON_RANGE);
  window_.reset();
  TWAIN_Shutdown();
  TWAIN_Startup();
  CapabilitiesPage& page = Open();
  Select("ICAP_XRESOLUTION");
  EXPECT_EQ(page.model().editorConType(), TWON_RANGE);
  EXPECT_EQ(SendMessageA(Control(IDC_CAP_SET_TABS), TCM_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(page.Editor(TWON_RANGE)->cap(), ICAP_XRESOLUTION);
  PickTab(TWON_ONEVALUE);  // leave the next run as it found the settings
}

TEST_F(CapabilitiesPageTest, CrashInAGetIsReportedTheSessionResetAndTheWindowClimbsAgain) {
  Open();
  SetEnvironmentVariableA("VORREL_FAULT_LAB", "crash-get:ICAP_PIXELTYPE");
  ChooseSource("Sample Fault Lab");
  SetEnvironmentVariableA("VORREL_FAULT_LAB", nullptr);
  EXPECT_EQ(TWAIN_State(), 1);
  const Strings lines = Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "** Exception 0xc0000005 during EnumCaps **");
  EXPECT_EQ(lines[lines.size() - 2], "** nCap=257 Call=TWAIN_Get (standard)");
  // Where: the Sample Source's file, as Wine's Manager loaded it.
  EXPECT_EQ(lines.back().rfind("   exception 0xc0000005 at sane.ds+0x", 0), 0u) << lines.back();
  const auto boxes = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("Source: Sample Fault Lab\nCapability: ICAP_PIXELTYPE\n"),
            std::string::npos);
  EXPECT_FALSE(IsWindowEnabled(Control(IDC_CAP_LIST)));
  EXPECT_EQ(Listed(), (Strings{"CAP_XFERCOUNT", "ICAP_COMPRESSION"})) << "what was found";
  EXPECT_EQ(Text(GetDlgItem(window_->hwnd(), IDC_HIGHER)), "Load TWAIN");

  for (int step = 0; step < 3 && TWAIN_State() < 4; ++step) {
    SendMessageA(window_->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_HIGHER, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window_->hwnd(), IDC_HIGHER)));
  }
  EXPECT_EQ(TWAIN_State(), 4) << testing::PrintToString(Lines());
  EXPECT_TRUE(IsWindowEnabled(Control(IDC_CAP_LIST)));
  EXPECT_FALSE(Listed().empty());
}

TEST_F(CapabilitiesPageTest, TheFaultBoxOfARunInFrontOfTheUserHasThePageDrawnBehindIt) {
  CapabilitiesPage& page = Open();
  ASSERT_TRUE(IsWindowVisible(page.hwnd()));
  // A real box this time, answered from another thread once the page shows
  // behind it (or after three seconds, when it never does).
  platform::CaptureMessageBoxes(false);
  std::atomic<bool> boxSeen{false}, pageShown{false};
  std::thread answerer([&] {
    for (int i = 0; i < 1000; ++i) {
      HWND box = FindWindowA("#32770", kProgramCaption);
      if (box && IsWindowVisible(box)) {
        boxSeen = true;
        for (int wait = 0; wait < 300 && !pageShown; ++wait) {
          pageShown = IsWindowVisible(page.hwnd()) != FALSE;
          Sleep(10);
        }
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(10);
    }
  });
  SetEnvironmentVariableA("VORREL_FAULT_LAB", "crash-get:ICAP_PIXELTYPE");
  ChooseSource("Sample Fault Lab");
  SetEnvironmentVariableA("VORREL_FAULT_LAB", nullptr);
  answerer.join();
  platform::CaptureMessageBoxes(true);
  EXPECT_TRUE(boxSeen);
  EXPECT_TRUE(pageShown);
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_TRUE(IsWindowVisible(page.hwnd()));
}

TEST_F(CapabilitiesPageTest,
       OvercountedContainersAreShownWithinTheirBlockAndAFailedCapOnlyInItsAnswer) {
  Open();
  SetEnvironmentVariableA("VORREL_FAULT_LAB", "container-overcount, fail-cap:ICAP_BITDEPTH");
  ChooseSource("Sample Fault Lab");
  SetEnvironmentVariableA("VORREL_FAULT_LAB", nullptr);
  ASSERT_EQ(TWAIN_State(), 4) << testing::PrintToString(Lines());
  EXPECT_TRUE(IsWindowEnabled(Control(IDC_CAP_LIST)));
  Select("ICAP_UNITS");
  EXPECT_EQ(Answer(IDC_CAP_GET_TEXT, IDC_CAP_GET_LINES).size(), 2u + 6u);
  Select("ICAP_BITDEPTH");
  EXPECT_EQ(Answer(IDC_CAP_GET_TEXT, IDC_CAP_GET_LINES),
            Strings{"Error: TWRC_FAILURE, TWCC_BUMMER"});
  EXPECT_EQ(Current(), Strings{"Error: TWRC_FAILURE, TWCC_BUMMER"});
}

TEST_F(CapabilitiesPageTest, SavedReportHoldsTheIdentityAndEveryListedCapabilityInListOrder) {
  CapabilitiesPage& page = Open();
  const std::size_t linesBefore = Lines().size();
  char path[MAX_PATH];
  GetTempPathA(sizeof(path), path);
  std::strcat(path, "vorrel_caps_report.txt");
  ASSERT_TRUE(page.SaveReport(path));
  FILE* file = std::fopen(path, "rb");
  ASSERT_NE(file, nullptr);
  std::string report;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof(buffer), file)) > 0;)
    report.append(buffer, n);
  std::fclose(file);
  DeleteFileA(path);
  EXPECT_NE(report.find("      ProductName: \"Sample Flatbed\"\r\n"), std::string::npos);
  const std::size_t author = report.find("\r\nCAP_AUTHOR\r\n  MSG_GET\r\n    str128 ONEVALUE = ");
  const std::size_t units = report.find("\r\nICAP_UNITS\r\n  MSG_GET\r\n    uint16 ENUMERATION = ");
  ASSERT_NE(author, std::string::npos);
  ASSERT_NE(units, std::string::npos);
  EXPECT_LT(author, units) << "list order";
  EXPECT_EQ(report.find("\n", 0), report.find("\r\n", 0) + 1);
  EXPECT_EQ(Lines().size(), linesBefore) << "asked silently";
}

}  // namespace
