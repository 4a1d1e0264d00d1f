#include "pages/capabilities_page_model.h"

#include <map>

#include "caps/set_rules.h"
#include "pages/log.h"
#include "pages/log_store.h"
#include "platform/settings.h"
#include "session_test_support.h"
#include "source_block.h"
#include "vocab/twain_names.h"

namespace {

using Strings = std::vector<std::string>;

// The page's controls as plain values.
class FakePageView : public CapabilitiesPageView {
 public:
  void SetGroupTitle(const std::string& t) override { title = t; }
  void EnableGetButtons(bool on) override { getsEnabled = on; }
  void ShowAnswer(AnswerKind kind, const AnswerDisplay& d, bool on) override {
    answers[kind] = d;
    answerEnabled[kind] = on;
  }
  void ShowItemTypeLabel(bool visible, const std::string& text) override {
    itemTypeLabel = visible ? text : "<hidden>";
  }
  void SetTabs(const std::vector<int>& t) override { tabs = t; }
  void SelectTab(int index) override { selectedTab = index; }
  void ShowTabs(bool visible) override { tabsVisible = visible; }
  void ShowCannotStatics(bool visible) override { cannotStatics = visible; }
  void EnableSetReset(bool on) override { setResetEnabled = on; }
  void LoadEditor(int con, int cap, int type) override { loaded = {con, cap, type}; }
  void ShowEditor(int con) override { shownEditor = con; }
  void LayOutLog() override { ++layouts; }
  ContainerHandle* BuildFromEditor(int con) override {
    builtWith = con;
    return build ? build() : nullptr;
  }
  platform::WindowHandle BoxOwner() override { return nullptr; }

  std::string title;
  bool getsEnabled = false;
  AnswerDisplay answers[kAnswerKinds];
  bool answerEnabled[kAnswerKinds] = {};
  std::string itemTypeLabel;
  std::vector<int> tabs;
  int selectedTab = -2;
  bool tabsVisible = false, cannotStatics = false, setResetEnabled = false;
  std::vector<int> loaded;
  int shownEditor = -2;
  int builtWith = 0;
  int layouts = 0;
  std::function<ContainerHandle*()> build;
};

std::vector<std::uint8_t> UnitsEnumeration() {
  return LeBytes()
      .U16(TWTY_UINT16)
      .U32(3)
      .U32(2)
      .U32(0)
      .U16(TWUN_INCHES)
      .U16(TWUN_CENTIMETERS)
      .U16(TWUN_PIXELS);
}

class CapabilitiesPageModelTest : public SessionTest {
 protected:
  void SetUp() override {
    GoTo(4);
    SetLogSink([](const char* t, bool f, void* c) { static_cast<LogStore*>(c)->Write(t, f); },
               &log);
  }
  Strings Lines() const {
    Strings lines;
    for (int i = 0; i < log.count(); ++i) lines.push_back(log.line(i));
    return lines;
  }

  LogStore log;
  FakePageView view;
  CapabilitiesPageModel page{view};
};

TEST_F(CapabilitiesPageModelTest,
       SelectingUnitsShowsTheEnumerationLinesSilentlyAndOffersEnumAndOneValue) {
  dsm.OnCap(ICAP_UNITS, MSG_GET).ReplyContainer(TWON_ENUMERATION, UnitsEnumeration());
  dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT).Return(TWRC_FAILURE).Condition(TWCC_SEQERROR);
  page.Select(ICAP_UNITS);
  EXPECT_EQ(view.title, "ICAP_UNITS");
  ASSERT_TRUE(view.answers[kAnswerGet].asLines);
  EXPECT_EQ(view.answers[kAnswerGet].lines,
            (Strings{"uint16 ENUMERATION = TWUN_PIXELS", "Default: TWUN_INCHES", "[0] TWUN_INCHES",
                     "[1] TWUN_CENTIMETERS", "[2] TWUN_PIXELS"}));
  EXPECT_EQ(view.answers[kAnswerCurrent].text, "Error: TWRC_FAILURE, TWCC_SEQERROR")
      << "a failed get shows in its own answer only";
  EXPECT_EQ(view.answers[kAnswerDefault].text.rfind("Error: ", 0), 0u);
  EXPECT_TRUE(Lines().empty()) << "selecting writes no operation lines";
  EXPECT_TRUE(LogSwitch());
  EXPECT_EQ(view.tabs, (std::vector<int>{TWON_ENUMERATION, TWON_ONEVALUE}));
  EXPECT_TRUE(view.tabsVisible);
  EXPECT_EQ(view.selectedTab, 1);
  EXPECT_EQ(view.loaded, (std::vector<int>{TWON_ONEVALUE, ICAP_UNITS, TWTY_UINT16}));
  EXPECT_EQ(view.itemTypeLabel, "uint16");
  EXPECT_TRUE(view.setResetEnabled);
  EXPECT_FALSE(view.cannotStatics);

  page.Get(kAnswerGet);
  EXPECT_EQ(Lines(), Strings{"MSG_GET(ICAP_UNITS) -> TWRC_SUCCESS"});
}

TEST_F(CapabilitiesPageModelTest, RangeAndArrayLinesAndReadOnlyCapabilities) {
  dsm.OnCap(ICAP_BRIGHTNESS, MSG_GET)
      .ReplyContainer(TWON_RANGE,
                      LeBytes().U16(TWTY_INT32).U32(50).U32(200).U32(50).U32(150).U32(100));
  page.Select(ICAP_BRIGHTNESS);
  EXPECT_EQ(view.answers[kAnswerGet].lines,
            (Strings{"int32 RANGE = 100", "from 50 to 200 step 50", "Default: 150"}));

  dsm.OnCap(CAP_SUPPORTEDCAPS, MSG_GET)
      .ReplyContainer(TWON_ARRAY, LeBytes().U16(TWTY_UINT16).U32(2).U16(ICAP_UNITS).U16(0x8001));
  page.Select(CAP_SUPPORTEDCAPS);
  EXPECT_EQ(view.answers[kAnswerGet].lines,
            (Strings{"uint16 ARRAY", "0. ICAP_UNITS", "1. CAP_0x8001"}));
  EXPECT_FALSE(view.tabsVisible);
  EXPECT_TRUE(view.cannotStatics);
  EXPECT_FALSE(view.setResetEnabled);
  EXPECT_EQ(view.shownEditor, -1);
  EXPECT_EQ(view.itemTypeLabel, "<hidden>");

  // No selection: refusal texts, disabled, no statics, nothing sent.
  page.Select(ICAP_UNITS);
  ASSERT_EQ(view.itemTypeLabel, "uint16");
  dsm.ClearCalls();
  const int layouts = view.layouts;
  page.Select(-1);
  EXPECT_EQ(view.title, "");
  EXPECT_FALSE(view.tabsVisible);
  EXPECT_FALSE(view.setResetEnabled);
  EXPECT_EQ(view.shownEditor, -1);
  EXPECT_EQ(view.itemTypeLabel, "<hidden>");
  EXPECT_GT(view.layouts, layouts) << "the log takes back the editor's room";
  EXPECT_EQ(view.answers[kAnswerCurrent].text, " with this DataSource.");
  EXPECT_FALSE(view.answerEnabled[kAnswerCurrent]);
  EXPECT_FALSE(view.getsEnabled);
  EXPECT_FALSE(view.cannotStatics);
  EXPECT_TRUE(dsm.Calls().empty());
  // A capability chosen again can be asked again.
  page.Select(ICAP_UNITS);
  EXPECT_TRUE(view.getsEnabled);
}

TEST_F(CapabilitiesPageModelTest, ContainersThatLieAboutTheirSizeAreShownWithinTheirBlock) {
  // An enumeration claiming 1000 items with a current index far past them,
  // and a one-value of an item type no table has.
  dsm.OnCap(ICAP_PIXELTYPE, MSG_GET)
      .ReplyContainer(TWON_ENUMERATION,
                      LeBytes().U16(TWTY_UINT16).U32(1000).U32(900).U32(1).U16(2).U16(0));
  dsm.OnCap(ICAP_PIXELTYPE, MSG_GETCURRENT).ReplyContainer(TWON_ONEVALUE, LeBytes().U16(77).U32(5));
  dsm.OnCap(ICAP_PIXELTYPE, MSG_GETDEFAULT).ReplyContainer(9, LeBytes().U16(TWTY_UINT16).U32(5));
  page.Select(ICAP_PIXELTYPE);
  EXPECT_EQ(view.answers[kAnswerGet].lines,
            (Strings{"uint16 ENUMERATION = <UNKNOWN>", "Default: TWPT_BW", "[0] TWPT_RGB",
                     "[1] TWPT_BW"}));
  EXPECT_EQ(view.answers[kAnswerCurrent].text.rfind("<type 0x4d?> ONEVALUE = ", 0), 0u);
  EXPECT_EQ(view.answers[kAnswerDefault].text, "<unknown container type: 9>");
  EXPECT_EQ(platform::host::GetMemoryStats().outstandingLocks, 0);
  EXPECT_EQ(platform::host::GetMemoryStats().liveBlocks, 0);
}

TEST_F(CapabilitiesPageModelTest, SetSendsTheEditorsContainerAndNotesAValueTheSourceKeptOtherwise) {
  dsm.OnCap(ICAP_XRESOLUTION, MSG_SET).Return(TWRC_CHECKSTATUS).Condition(TWCC_BADVALUE);
  dsm.OnCap(ICAP_XRESOLUTION, MSG_GETCURRENT)
      .ReplyContainer(TWON_ONEVALUE, LeBytes().U16(TWTY_FIX32).U16(200).U16(0));
  page.Select(ICAP_XRESOLUTION);
  view.build = [] {
    ContainerHandle* h = CONTAINER_CreateOneValue(TWTY_FIX32, 300);
    return h;
  };
  page.Set();
  EXPECT_EQ(view.builtWith, TWON_ONEVALUE);
  EXPECT_EQ(Lines(), (Strings{"MSG_SET(ICAP_XRESOLUTION) -> TWRC_CHECKSTATUS, TWCC_BADVALUE",
                              "   current value is now 200 (sent 300)"}));
  const auto sets = dsm.CallsOf(DG_CONTROL, DAT_CAPABILITY, MSG_SET);
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].container, (std::vector<std::uint8_t>{TWTY_FIX32, 0, 44, 1, 0, 0}));
  EXPECT_EQ(view.answers[kAnswerCurrent].text, "fix32 ONEVALUE = 200") << "silently refreshed";

  // A Source that kept the value: no note. An editor that built nothing: no line at all.
  view.build = [] { return CONTAINER_CreateOneValue(TWTY_FIX32, 200); };
  page.Set();
  EXPECT_EQ(log.count(), 3);
  view.build = nullptr;
  const std::size_t before = dsm.Calls().size();
  page.Set();
  EXPECT_EQ(log.count(), 3);
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_CAPABILITY, MSG_SET), 2u);
  EXPECT_GT(dsm.Calls().size(), before) << "the three answers are still refreshed";

  dsm.OnCap(ICAP_XRESOLUTION, MSG_GETCURRENT)
      .ReplyContainer(TWON_ONEVALUE, LeBytes().U16(TWTY_FIX32).U16(150).U16(0));
  page.Reset();
  EXPECT_EQ(Lines().back(), "MSG_RESET(ICAP_XRESOLUTION) -> TWRC_FAILURE, TWCC_CAPUNSUPPORTED");
  EXPECT_EQ(view.answers[kAnswerCurrent].text, "fix32 ONEVALUE = 150") << "silently refreshed";
  EXPECT_EQ(platform::host::GetMemoryStats().outstandingLocks, 0);
  EXPECT_EQ(platform::host::GetMemoryStats().liveBlocks, 0);
}

TEST_F(CapabilitiesPageModelTest, TheChosenContainerIsRememberedPerCapability) {
  page.Shown(true);
  page.Select(ICAP_XRESOLUTION);
  EXPECT_EQ(view.shownEditor, TWON_ONEVALUE);
  page.PickTab(2);  // ENUM, ONEVAL, RANGE
  EXPECT_EQ(platform::ReadSettingInt("ICAP_XRESOLUTION", "SetCon", 0), TWON_RANGE);
  page.PickTab(3);
  page.PickTab(-1);
  EXPECT_EQ(platform::ReadSettingInt("ICAP_XRESOLUTION", "SetCon", 0), TWON_RANGE)
      << "tabs that are not there change nothing";
  EXPECT_EQ(view.shownEditor, TWON_RANGE);
  page.Select(ICAP_UNITS);
  EXPECT_EQ(view.loaded[0], TWON_ONEVALUE);
  page.Select(ICAP_XRESOLUTION);
  EXPECT_EQ(view.loaded, (std::vector<int>{TWON_RANGE, ICAP_XRESOLUTION, TWTY_FIX32}));
  EXPECT_EQ(view.selectedTab, 2);

  // A stored container the rules no longer allow still picks its editor; no tab is selected.
  platform::WriteSettingInt("CAP_0x8001", "SetCon", TWON_ARRAY);
  page.Select(0x8001);
  EXPECT_EQ(view.tabs, std::vector<int>{TWON_ONEVALUE});
  EXPECT_EQ(view.selectedTab, -1);
  EXPECT_EQ(view.loaded, (std::vector<int>{TWON_ARRAY, 0x8001, TWTY_UINT16}));

  int layouts = view.layouts;
  page.PickTab(0);
  EXPECT_GT(view.layouts, layouts);
  layouts = view.layouts;
  page.Shown(false);
  EXPECT_EQ(view.shownEditor, -1);
  EXPECT_GT(view.layouts, layouts) << "the log takes back the editor's room";

  // Only closing the Source from State 4 or above drops the selection.
  for (const auto& [now, shown] : {std::pair{4, 5}, {3, 3}, {5, 4}, {2, 3}}) {
    page.StateChanged(now, shown);
    EXPECT_EQ(page.selected(), 0x8001) << now << " after " << shown;
  }
  page.StateChanged(3, 4);
  EXPECT_EQ(page.selected(), -1);
  // However the session falls below state 4 (a fault, a hard reset).
  page.Select(ICAP_XRESOLUTION);
  page.StateChanged(1, 5);
  EXPECT_EQ(page.selected(), -1);
}

TEST(LogRightEdgeTest, TheLogStopsShortOfAVisibleEditorThatReachesIntoIt) {
  EXPECT_EQ(LogRightEdge(100, 400, 600, {false, 450, 500}), 700);
  EXPECT_EQ(LogRightEdge(100, 400, 600, {true, 450, 500}), 434);
  EXPECT_EQ(LogRightEdge(100, 400, 600, {true, 450, 400}), 434) << "bottom at the log's top";
  EXPECT_EQ(LogRightEdge(100, 400, 600, {true, 450, 399}), 700) << "above the log";
  EXPECT_EQ(LogRightEdge(100, 400, 600, {true, 700, 500}), 684) << "the edge reaches it";
  EXPECT_EQ(LogRightEdge(100, 400, 600, {true, 701, 500}), 700);
}

TEST_F(CapabilitiesPageModelTest, ASourceThatFaultsInAPageRequestIsReportedAndTheSessionReset) {
  dsm.OnCap(ICAP_UNITS, MSG_GET).ReplyContainer(TWON_ENUMERATION, UnitsEnumeration());
  dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT).Run([](const fake::Call&, TW_MEMREF) {
    Crash();
    return static_cast<TW_UINT16>(TWRC_SUCCESS);
  });
  page.Select(ICAP_XRESOLUTION);
  ASSERT_TRUE(view.setResetEnabled);
  page.Select(ICAP_UNITS);
  EXPECT_FALSE(view.setResetEnabled) << "nothing to set on a Source that is gone";
  EXPECT_FALSE(page.settable());
  EXPECT_EQ(TWAIN_State(), 1) << "the library's hard reset";
  EXPECT_EQ(TWAIN_Session().callNesting, 0);
  EXPECT_TRUE(LogSwitch()) << "the silent refresh the fault cut short";
  ASSERT_EQ(Lines().size(), 2u);
  EXPECT_EQ(LineAboveFaultPlace(Lines()),
            "   exception 0xc0000005 in the Source during "
            "MSG_GETCURRENT(ICAP_UNITS): TWAIN was reset");
  const auto boxes = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("during MSG_GETCURRENT(ICAP_UNITS).\n\nSource: Flatbed\n"),
            std::string::npos);
  EXPECT_EQ(platform::host::GetMemoryStats().liveBlocks, 0);
  // The capability went with the session: the page belongs to nothing selected.
  EXPECT_EQ(page.selected(), -1);
  EXPECT_EQ(view.title, "");
  EXPECT_FALSE(view.getsEnabled || view.tabsVisible);
  // Nothing acts on it in state 1: no line names it, no choice is stored.
  const std::size_t lines = Lines().size();
  page.Get(kAnswerGet);
  page.PickTab(0);
  EXPECT_EQ(Lines().size(), lines);
  EXPECT_EQ(platform::ReadSettingInt("ICAP_UNITS", kSetConKey, -7), -7);
  EXPECT_TRUE(platform::TakeCapturedMessageBoxes().empty());
}

TEST_F(CapabilitiesPageModelTest, FaultsInSetResetAndTheReportFreeWhatWasHeldAndTheProbeGoesOn) {
  bool crash = true;
  dsm.OnCap(ICAP_XRESOLUTION, MSG_SET).Run([&](const fake::Call&, TW_MEMREF) {
    if (crash) Crash();
    return static_cast<TW_UINT16>(TWRC_SUCCESS);
  });
  page.Select(ICAP_XRESOLUTION);
  view.build = [] { return CONTAINER_CreateOneValue(TWTY_FIX32, 300); };
  page.Set();
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_EQ(platform::host::GetMemoryStats().liveBlocks, 0) << "the container sent is freed";
  ASSERT_FALSE(Lines().empty());
  EXPECT_EQ(LineAboveFaultPlace(Lines()),
            "   exception 0xc0000005 in the Source during MSG_SET(ICAP_XRESOLUTION): TWAIN was "
            "reset");
  EXPECT_EQ(platform::TakeCapturedMessageBoxes().size(), 1u);

  // The session climbs again and the page works as before, once a capability is chosen.
  GoTo(4);
  crash = false;
  page.Set();
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_CAPABILITY, MSG_SET), 0u) << "nothing is selected";
  page.Select(ICAP_XRESOLUTION);
  page.Set();
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_CAPABILITY, MSG_SET), 1u);

  dsm.OnCap(ICAP_XRESOLUTION, MSG_RESET).Run([](const fake::Call&, TW_MEMREF) {
    Crash();
    return static_cast<TW_UINT16>(TWRC_SUCCESS);
  });
  page.Reset();
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_NE(LineAboveFaultPlace(Lines()).find("during MSG_RESET(ICAP_XRESOLUTION)"),
            std::string::npos);
  platform::TakeCapturedMessageBoxes();

  GoTo(4);
  dsm.OnCap(ICAP_UNITS, MSG_GETDEFAULT).Run([](const fake::Call&, TW_MEMREF) {
    Crash();
    return static_cast<TW_UINT16>(TWRC_SUCCESS);
  });
  SetLogSwitch(false);
  EXPECT_EQ(page.Report("Id: 1\r\n", {ICAP_XRESOLUTION, ICAP_UNITS}), std::nullopt);
  EXPECT_FALSE(LogSwitch()) << "as the caller had it";
  SetLogSwitch(true);
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_EQ(platform::TakeCapturedMessageBoxes().size(), 1u);
  GoTo(4);
  const std::optional<std::string> report = page.Report("Id: 1\r\n", {ICAP_XRESOLUTION});
  ASSERT_TRUE(report);
  EXPECT_EQ(report->rfind("Id: 1\r\n\r\nICAP_XRESOLUTION\r\n", 0), 0u);
}

}  // namespace
