#include "pages/session_ladder.h"

#include <cstring>
#include <functional>
#include <map>

#include "caps/logged_operations.h"
#include "pages/log.h"
#include "pages/log_store.h"
#include "platform/fault_guard.h"
#include "session/twain2.h"
#include "session_test_support.h"

namespace {

using Strings = std::vector<std::string>;

// The window as the ladder sees it, kept as plain values.
class FakeLadderView : public LadderView {
 public:
  platform::WindowHandle Handle() override { return window; }
  void EnableWindow() override { ++windowEnabled; }
  void EnableLadderButtons(bool h, bool l) override {
    higherEnabled = h;
    lowerEnabled = l;
  }
  void SetLadderLabels(const char* h, const char* l) override {
    higher = h;
    lower = l;
  }
  void SetStatePicture(int state, bool current) override { pictures[state] = current; }
  void ShowDeviceUiSwitch(bool visible) override { deviceUiVisible = visible; }
  void SetDeviceUiCheck(bool checked) override { deviceUiChecked = checked; }
  void ShowXferMechText(bool visible) override { xferMechVisible = visible; }
  void SetXferMechText(const char* text) override {
    xferMechText = text;
    if (onXferMechText) onXferMechText();
  }
  void ClearSources() override {
    sources.clear();
    selected = -1;
  }
  int AddSource(const char* name) override {
    sources.push_back(name);
    return static_cast<int>(sources.size()) - 1 + addIndexOffset;
  }
  int SourceCount() override { return static_cast<int>(sources.size()); }
  int SelectedSource() override { return selected; }
  void SelectSource(int index) override { selected = index; }
  std::string SourceText(int index) override { return sources.at(index); }
  void EnableSourceList(bool enabled) override { sourceListEnabled = enabled; }
  void BeginWaitCursor() override {
    ++waitDepth;
    ++waitsBegun;
  }
  void EndWaitCursor() override { --waitDepth; }
  void InfoBox(const char* text) override {
    boxes.push_back(text);
    if (onBox) onBox();
  }
  void CloseWindow() override { closed = true; }
  void PagesStateChanged(int newState, int shown) override {
    pageCalls.push_back({newState, shown});
  }
  void EnumerateCapabilities() override {
    ++enumerations;
    if (onEnumerate) onEnumerate();
  }
  bool TransferImage() override { return transfer ? transfer() : false; }
  void AppendTabs() override { ++tabsAppended; }
  void ShowSelectedPage() override { ++pagesShown; }
  void StepFinished() override {
    ++stepsFinished;
    if (onStepFinished) onStepFinished();
  }

  platform::WindowHandle window = platform::host::CreateTestWindow();
  int windowEnabled = 0;
  bool higherEnabled = false, lowerEnabled = false;
  std::string higher, lower;
  std::map<int, bool> pictures;
  bool deviceUiVisible = false, deviceUiChecked = false, xferMechVisible = false;
  std::string xferMechText;
  std::function<void()> onXferMechText;
  Strings sources;
  int selected = -1;
  int addIndexOffset = 0;  // a list that places entries past those it holds
  bool sourceListEnabled = false;
  int waitDepth = 0;
  int waitsBegun = 0;
  Strings boxes;
  std::function<void()> onBox, onEnumerate, onStepFinished;
  bool closed = false;
  std::vector<std::pair<int, int>> pageCalls;
  int enumerations = 0;
  std::function<bool()> transfer;  // the Images page's transfer; none: no page
  int tabsAppended = 0;
  int pagesShown = 0;
  int stepsFinished = 0;
};

class LadderTest : public SessionTest {
 protected:
  LadderTest() { SetLogSink(ToStore, this); }

  static void ToStore(const char* text, bool final, void* context) {
    auto* self = static_cast<LadderTest*>(context);
    self->log.Write(text, final);
    self->writes.push_back((final ? "final: " : "provisional: ") + std::string(text));
  }
  Strings Lines() const {
    Strings lines;
    for (int i = 0; i < log.count(); ++i) lines.push_back(log.line(i));
    return lines;
  }
  std::string LastLine() const { return log.count() ? log.line(log.count() - 1) : ""; }
  int CurrentPicture() const {
    int current = 0;
    for (auto [state, isCurrent] : view.pictures) current = isCurrent ? state : current;
    return current;
  }
  void ExpectLabels(const char* higher, const char* lower) {
    EXPECT_EQ(view.higher, higher);
    EXPECT_EQ(view.lower, lower);
  }

  LogStore log;
  Strings writes;  // every write, provisional ones included
  FakeLadderView view;
  SessionLadder ladder{view};
};

TEST_F(LadderTest, LabelsOfEveryState) {
  const std::pair<const char*, const char*> expected[] = {{"Load TWAIN", "Exit"},
                                                          {"Open TWAIN", "Unload TWAIN"},
                                                          {"Open Source", "Close TWAIN"},
                                                          {"Enable Source", "Close Source"},
                                                          {"waiting...", "Disable Source"},
                                                          {"Start Transfer", "Abort Transfer"},
                                                          {"transferring...", "End Transfer"}};
  for (int state = 1; state <= 7; ++state) {
    EXPECT_STREQ(LadderLabelsFor(state).higher, expected[state - 1].first);
    EXPECT_STREQ(LadderLabelsFor(state).lower, expected[state - 1].second);
  }
  for (int state : {-1, 0, 8}) {
    EXPECT_STREQ(LadderLabelsFor(state).higher, "") << state;
    EXPECT_STREQ(LadderLabelsFor(state).lower, "") << state;
  }
  EXPECT_STREQ(XferMechText(TWSX_NATIVE), " Xfer Mech: NATIVE");
  EXPECT_STREQ(XferMechText(TWSX_MEMORY), " Xfer Mech: MEMORY");
  EXPECT_STREQ(XferMechText(TWSX_FILE), " Xfer Mech: FILE");
  EXPECT_STREQ(XferMechText(9), " Xfer Mech: FILE");
}

TEST(LadderWithoutManagerTest, StaysInStateOneWithTwoFailureLinesAndANotePerFileTried) {
  LogStore log;
  SetLogSink([](const char* t, bool f, void* c) { static_cast<LogStore*>(c)->Write(t, f); }, &log);
  FakeLadderView view;
  SessionLadder ladder(view);
  ladder.Refresh();
  ladder.StartupClimb();
  EXPECT_EQ(TWAIN_State(), 1);
  ASSERT_EQ(log.count(), 5);
  EXPECT_EQ(log.line(0), "Loading TWAIN Source Manager...");
  EXPECT_EQ(log.line(1), ">>> Failed: Is TWAIN Installed?");
  EXPECT_EQ(log.line(2), "   Not loaded: C:\\WINDOWS\\TWAIN_32.DLL (no such file)");
  EXPECT_EQ(log.line(3), "   Not loaded: C:\\WINDOWS\\system32\\TWAIN_32.DLL (no such file)");
  EXPECT_EQ(log.line(4), "   Not loaded: C:\\WINDOWS\\system32\\TWAINDSM.DLL (no such file)");
  EXPECT_EQ(view.higher, "Load TWAIN");
  EXPECT_EQ(view.lower, "Exit");
  EXPECT_TRUE(view.pictures[1]);
  EXPECT_TRUE(view.higherEnabled);
  EXPECT_EQ(view.tabsAppended, 0);
  EXPECT_TRUE(view.boxes.empty());
}

TEST_F(LadderTest, StartupClimbOpensTheDefaultSourceAndTimesEachStep) {
  dsm.SetDefaultSource(1);
  TWAIN_SetUIHidden(true);
  dsm.On(DG_CONTROL, DAT_PARENT, MSG_OPENDSM).Observe([](const fake::Call&) {
    platform::host::AdvanceTickCount(1234);
  });
  int waitWhileOpening = 0;
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS).Observe([&](const fake::Call&) {
    waitWhileOpening = view.waitDepth;
  });
  ladder.Refresh();
  ladder.StartupClimb();
  ASSERT_EQ(TWAIN_State(), 4) << dsm.Transcript();
  EXPECT_EQ(Lines(), (Strings{"Loaded TWAIN Source Manager [0.00s]",
                              "   Source Manager: C:\\WINDOWS\\TWAIN_32.DLL",
                              "Opened Source Manager [1.23s]", "Opened Camera [0.00s]"}));
  EXPECT_EQ(writes, (Strings{"provisional: Loading TWAIN Source Manager...",
                             "final: Loaded TWAIN Source Manager [0.00s]",
                             "final:    Source Manager: C:\\WINDOWS\\TWAIN_32.DLL",
                             "provisional: Opening Source Manager...",
                             "final: Opened Source Manager [1.23s]",
                             "provisional: Enumerating Data Sources...",
                             "provisional: Opening Camera...", "final: Opened Camera [0.00s]"}));
  EXPECT_EQ(view.sources, (Strings{"Flatbed", "Camera"}));
  EXPECT_EQ(view.selected, 1) << "the default Source is selected";
  EXPECT_EQ(view.tabsAppended, 1);
  EXPECT_EQ(view.enumerations, 1);
  EXPECT_EQ(CurrentPicture(), 4);
  EXPECT_EQ(view.pictures.begin()->first, 1) << "only the seven states have pictures";
  EXPECT_EQ(view.pictures.rbegin()->first, 4);
  EXPECT_FALSE(view.pictures[1]) << "the state left is no longer shown as current";
  ExpectLabels("Enable Source", "Close Source");
  EXPECT_TRUE(view.deviceUiVisible);
  EXPECT_FALSE(view.deviceUiChecked) << "the check box shows the device UI switch";
  EXPECT_TRUE(view.xferMechVisible);
  EXPECT_TRUE(view.higherEnabled && view.lowerEnabled && view.sourceListEnabled);
  EXPECT_EQ(view.waitDepth, 0);
  EXPECT_EQ(waitWhileOpening, 1) << "the wait cursor shows while the Source is opened";
  EXPECT_EQ(ladder.currentSourceName(), "Camera");
  // The opened identity is the listed one, with the Id the Manager gave it.
  EXPECT_NE(TW_UINT32{ladder.listedSource(1).Id}, 0u);
  EXPECT_EQ(view.pageCalls.front(), (std::pair<int, int>{1, -1}));

  // Arriving in state 4 again with the device's own UI shown checks the box.
  TWAIN_SetUIHidden(false);
  ladder.StepDown();
  ladder.StepUp();
  ASSERT_EQ(TWAIN_State(), 4);
  EXPECT_TRUE(view.deviceUiChecked);
}

// A headless check opens the Source it names and no other, not even the default.
TEST_F(LadderTest, APreferredSourceIsOpenedInsteadOfTheDefaultAndAnUnlistedOneNotAtAll) {
  ladder.PreferSource("camera");
  ladder.StartupClimb();
  ASSERT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(ladder.currentSourceName(), "Camera");
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS), 1u);

  ladder.StepDown();
  dsm.ClearCalls();
  ladder.PreferSource("Scanner");
  ladder.StepUp();
  EXPECT_EQ(TWAIN_State(), 3);
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS), 0u);
  EXPECT_EQ(LastLine(), "   The Source Manager lists no Source named \"Scanner\"");
}

TEST_F(LadderTest, EnablingNegotiatesTheTransferMechanismOncePerOpenedSource) {
  ladder.Refresh();
  ladder.StartupClimb();
  EXPECT_FALSE(ladder.SourceEvent(platform::Message{})) << "no Source is enabled to claim it";
  ladder.StepUp();
  EXPECT_EQ(TWAIN_State(), 5);
  const Strings lines = Lines();
  EXPECT_EQ(Strings(lines.end() - 2, lines.end()),
            (Strings{"MSG_SET(ICAP_XFERMECH) -> TWRC_FAILURE, TWCC_CAPUNSUPPORTED",
                     "Enabled Data Source [0.00s]"}));
  EXPECT_EQ(writes[writes.size() - 2], "provisional: Enabling Data Source...");
  ExpectLabels("waiting...", "Disable Source");
  EXPECT_FALSE(view.higherEnabled);

  dsm.OnCap(ICAP_XFERMECH, MSG_SET).Return(TWRC_SUCCESS);
  ladder.StepDown();
  EXPECT_EQ(LastLine(), "Disable Source [0.00s]");
  ExpectLabels("Enable Source", "Close Source");
  ladder.StepUp();
  ladder.StepDown();
  ladder.StepUp();
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_CAPABILITY, MSG_SET), 2u)
      << "after a successful set the Source is not asked again";
  EXPECT_TRUE(XferMechNegotiated());
  // Arriving in state 3 forgets the negotiation.
  ladder.StepDown();
  ladder.StepDown();
  EXPECT_EQ(TWAIN_State(), 3);
  EXPECT_FALSE(XferMechNegotiated());
}

TEST_F(LadderTest, RefusedEnableStillLogsItsLineAndStaysAtEnable) {
  ladder.Refresh();
  ladder.StartupClimb();
  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS).Return(TWRC_FAILURE);
  const int waits = view.waitsBegun;
  ladder.StepUp();
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(LastLine(), "Enabled Data Source [0.00s]");
  EXPECT_EQ(view.waitsBegun, waits) << "only opening a Source shows the wait cursor";
  ExpectLabels("Enable Source", "Close Source");
}

TEST_F(LadderTest, SourceEventsMoveTheLadder) {
  ladder.Refresh();
  ladder.StartupClimb();
  ladder.StepUp();
  platform::Message message{nullptr, 0x0113};
  EXPECT_FALSE(ladder.SourceEvent(message)) << "nothing claimed";
  dsm.QueueEvent(MSG_XFERREADY);
  EXPECT_TRUE(ladder.SourceEvent(message));
  EXPECT_EQ(TWAIN_State(), 6);
  EXPECT_EQ(LastLine(), "received MSG_XFERREADY");
  ExpectLabels("Start Transfer", "Abort Transfer");
  EXPECT_TRUE(view.higherEnabled);

  ladder.StepDown();
  EXPECT_EQ(Lines().back(), "   MSG_RESET returned Count 0");
  EXPECT_EQ(Lines().end()[-2], "Aborted Pending Xfers [0.00s]");
  EXPECT_EQ(TWAIN_State(), 5);
  // The view hears the step is over when it is: it may start another.
  bool inStepAtFinish = true;
  view.onStepFinished = [&] { inStepAtFinish = ladder.inStep(); };
  dsm.QueueEvent(MSG_CLOSEDSREQ);
  EXPECT_TRUE(ladder.SourceEvent(message));
  EXPECT_FALSE(inStepAtFinish);
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(LastLine(), "received MSG_CLOSEDSREQ");
  ExpectLabels("Enable Source", "Close Source");
  EXPECT_EQ(view.enumerations, 1) << "coming back to 4 from above does not enumerate again";
}

// A 2.x Source's events by callback take the message path's step, only
// once the window takes them from its queue; what is not an event is noted.
TEST_F(LadderTest, CallbackEventsClimbToSixAndBackWithTheMessagePathsLines) {
  dsm.SetTwain2(true);
  TWAIN_SetTwain2(true);
  dsm.AddSource("Scanner 2").SupportedGroups |= DF_DS2;
  dsm.SetDefaultSource(2);
  ladder.Refresh();
  ladder.StartupClimb();
  EXPECT_EQ(Lines()[3],
            "   DAT_ENTRYPOINT granted: blocks go through the Source Manager's memory functions");
  EXPECT_EQ(LastLine(), "   DAT_CALLBACK registered: Source events come by callback");
  ladder.StepUp();
  ASSERT_EQ(TWAIN_State(), 5);
  auto takeQueued = [this] {
    platform::Message message;
    bool claimed = true;
    while (platform::PeekRemoveMessage(message)) claimed = ladder.SourceEvent(message) && claimed;
    return claimed;
  };
  bool inStepAtFinish = true;
  view.onStepFinished = [&] { inStepAtFinish = ladder.inStep(); };
  ASSERT_TRUE(dsm.Callback(MSG_XFERREADY));
  EXPECT_EQ(TWAIN_State(), 5);
  EXPECT_TRUE(takeQueued());
  EXPECT_FALSE(inStepAtFinish) << "the view hears the step is over when it is";
  EXPECT_EQ(TWAIN_State(), 6);
  EXPECT_EQ(LastLine(), "received MSG_XFERREADY");
  ExpectLabels("Start Transfer", "Abort Transfer");
  EXPECT_TRUE(view.higherEnabled && view.lowerEnabled) << "the buttons work again after the event";

  ladder.StepDown();
  dsm.Callback(0x0999);
  EXPECT_TRUE(takeQueued());
  EXPECT_EQ(LastLine(), "   Callback with MSG_0x0999, not a Source event: ignored");
  dsm.Callback(MSG_CLOSEDSOK);
  EXPECT_TRUE(takeQueued());
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(LastLine(), "   received MSG_CLOSEDSOK");
  ExpectLabels("Enable Source", "Close Source");
  dsm.Callback(MSG_XFERREADY);
  EXPECT_TRUE(takeQueued()) << "ours even below state 5";
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(LastLine(), "   Callback with MSG_XFERREADY in state 4, no Source enabled: ignored");
}

TEST_F(LadderTest, LeavingStateSevenPutsItsPictureBack) {
  ladder.Refresh();
  ladder.StartupClimb();
  ladder.StepUp();
  dsm.QueueEvent(MSG_XFERREADY);
  ladder.SourceEvent(platform::Message{});
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_XFERDONE).Times(1);
  TW_HANDLE image = nullptr;
  TWAIN_DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image);
  ladder.Refresh();
  ASSERT_EQ(CurrentPicture(), 7);
  ladder.StepDown();
  EXPECT_FALSE(view.pictures[7]) << "state 7 still shown as current";
  EXPECT_EQ(CurrentPicture(), TWAIN_State());
}

TEST_F(LadderTest, HigherInStateSixTransfersThroughThePageAndTimesIt) {
  ladder.Refresh();
  ladder.StartupClimb();
  ladder.StepUp();
  dsm.QueueEvent(MSG_XFERREADY);
  ladder.SourceEvent(platform::Message{});
  ASSERT_EQ(TWAIN_State(), 6);
  // Without a page nothing is transferred and nothing claims it was.
  const int linesBefore = log.count();
  ladder.StepUp();
  EXPECT_EQ(log.count(), linesBefore);
  EXPECT_EQ(TWAIN_State(), 6);

  dsm.SetPendingTransfers(2);
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_XFERDONE);
  view.transfer = [] {
    TW_HANDLE image = nullptr;
    TWAIN_DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image);
    LogLine("the page's lines");
    platform::host::AdvanceTickCount(1250);
    return true;
  };
  ladder.StepUp();
  const Strings lines = Lines();
  EXPECT_EQ(Strings(lines.end() - 2, lines.end()),
            (Strings{"the page's lines", "Transfer Time: 1.25s"}));
  EXPECT_EQ(TWAIN_State(), 7);
  ExpectLabels("transferring...", "End Transfer");
  // Ending the transfer with more images pending returns to 6, with the Count noted.
  ladder.StepDown();
  Strings last = Lines();
  EXPECT_EQ(Strings(last.end() - 2, last.end()),
            (Strings{"Ended Xfer [0.00s]", "   MSG_ENDXFER returned Count 1"}));
  EXPECT_EQ(TWAIN_State(), 6);

  // A Source whose Count stays where it was after the next transfer is noted.
  dsm.On(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER).Fill([](TW_MEMREF data) {
    static_cast<TW_PENDINGXFERS*>(data)->Count = 1;
  });
  ladder.StepUp();
  ladder.StepDown();
  last = Lines();
  EXPECT_EQ(Strings(last.end() - 2, last.end()),
            (Strings{"   MSG_ENDXFER returned Count 1",
                     "   The Source's Count did not go down after a transfer: 1 before it, 1 "
                     "after it"}));
  // A failed transfer prints no time.
  view.transfer = [] { return false; };
  const int linesBefore2 = log.count();
  ladder.StepUp();
  EXPECT_EQ(log.count(), linesBefore2);
}

TEST_F(LadderTest, LowerWalksBackToExit) {
  ladder.Refresh();
  ladder.StartupClimb();
  const int linesBefore = log.count();
  const std::size_t writesBefore = writes.size();
  for (int i = 0; i < 3; ++i) ladder.StepDown();
  EXPECT_EQ(TWAIN_State(), 1);
  const Strings lines = Lines();
  EXPECT_EQ(Strings(lines.begin() + linesBefore, lines.end()),
            (Strings{"Closed Flatbed [0.00s]", "Closed TWAIN Source Manager [0.00s]",
                     "Unloaded TWAIN Source Manager [0.00s]"}));
  EXPECT_EQ(Strings(writes.begin() + static_cast<long>(writesBefore), writes.end()),
            (Strings{"provisional: Closing Flatbed...", "final: Closed Flatbed [0.00s]",
                     "provisional: Closing TWAIN Source Manager...",
                     "final: Closed TWAIN Source Manager [0.00s]",
                     "provisional: Unloading TWAIN Source Manager...",
                     "final: Unloaded TWAIN Source Manager [0.00s]"}));
  ExpectLabels("Load TWAIN", "Exit");
  EXPECT_TRUE(view.sources.empty()) << "arriving in state 2 from above empties the list";
  EXPECT_FALSE(view.closed);
  ladder.StepDown();
  EXPECT_TRUE(view.closed);
}

TEST_F(LadderTest, ChangingTheSourceInStateSixStepsDownAndOpensTheNewOne) {
  ladder.Refresh();
  ladder.StartupClimb();
  ladder.StepUp();
  dsm.QueueEvent(MSG_XFERREADY);
  ladder.SourceEvent(platform::Message{});
  ASSERT_EQ(TWAIN_State(), 6);
  view.selected = 1;
  const int linesBefore = log.count();
  ladder.ChangeSource();
  EXPECT_EQ(TWAIN_State(), 4);
  const Strings lines = Lines();
  EXPECT_EQ(Strings(lines.begin() + linesBefore, lines.end()),
            (Strings{"Aborted Pending Xfers [0.00s]", "   MSG_RESET returned Count 0",
                     "Disable Source [0.00s]", "Closed Flatbed [0.00s]", "Opened Camera [0.00s]"}))
      << "the close line names the Source last opened, not the new selection";
  EXPECT_STREQ(TWAIN_SourceProductName(), "Camera");
  EXPECT_EQ(view.pagesShown, 1);

  // From state 3 the new Source is opened without closing the Manager.
  ladder.StepDown();
  ASSERT_EQ(TWAIN_State(), 3);
  view.selected = 0;
  ladder.ChangeSource();
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_STREQ(TWAIN_SourceProductName(), "Flatbed");
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM), 0u);

  // And from state 7, in the middle of a transfer, every step down is taken.
  ladder.StepUp();
  dsm.QueueEvent(MSG_XFERREADY);
  ladder.SourceEvent(platform::Message{});
  ASSERT_EQ(TWAIN_State(), 6);
  TWAIN_SetState(7);
  dsm.SetPendingTransfers(2);  // ending this transfer leaves another pending
  view.selected = 1;
  ladder.ChangeSource();
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_STREQ(TWAIN_SourceProductName(), "Camera");
}

TEST(LadderWithoutSourcesTest, NoSourcesMeansNoOpeningStepAndTheLogSaysSo) {
  fake::SourceManager empty;
  FakeLadderView view;
  SessionLadder ladder(view);
  LogStore log;
  SetLogSink([](const char* t, bool f, void* c) { static_cast<LogStore*>(c)->Write(t, f); }, &log);
  ladder.Refresh();
  ladder.StartupClimb();
  EXPECT_EQ(TWAIN_State(), 3);
  EXPECT_FALSE(view.higherEnabled);
  EXPECT_TRUE(view.sources.empty());
  ASSERT_GE(log.count(), 2);
  // Final lines, so the --log-file mirror has them too.
  EXPECT_EQ(log.line(log.count() - 2), "Enumerating Data Sources...");
  EXPECT_EQ(log.line(log.count() - 1),
            "   The Source Manager lists no Data Source: none is installed");
  EXPECT_FALSE(log.lastProvisional());
}

TEST_F(LadderTest, StepsDownRunWithTheLadderDisabled) {
  ladder.Refresh();
  ladder.StartupClimb();
  bool enabledDuringStep = true;
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS).Observe([&](const fake::Call&) {
    enabledDuringStep = view.higherEnabled || view.lowerEnabled || view.sourceListEnabled;
  });
  ladder.StepDown();
  EXPECT_EQ(TWAIN_State(), 3);
  EXPECT_FALSE(enabledDuringStep);
  EXPECT_TRUE(view.higherEnabled && view.lowerEnabled && view.sourceListEnabled);

  // A change made behind the ladder's back is arranged with it disabled too.
  ladder.StepDown();
  ASSERT_EQ(TWAIN_State(), 2);
  ASSERT_TRUE(view.higherEnabled);
  enabledDuringStep = true;
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST).Observe([&](const fake::Call&) {
    enabledDuringStep = view.higherEnabled || view.lowerEnabled || view.sourceListEnabled;
  });
  ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
  ladder.Refresh();
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST), 2u) << "the climb's and this";
  EXPECT_FALSE(enabledDuringStep);

  // A selection past the ladder's list of identities opens nothing.
  for (const int past : {kMaxSources, 1000}) {
    view.selected = past;
    ladder.StepUp();
    EXPECT_EQ(TWAIN_State(), 3);
    EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS), 1u) << "the start-up climb's only";
  }
}

TEST_F(LadderTest, AListThatPlacesSourcesPastItsIdentitiesStoresNoneThere) {
  view.addIndexOffset = kMaxSources - 1;
  ladder.Refresh();
  ladder.StartupClimb();
  EXPECT_EQ(ladder.listedSource(kMaxSources - 1).ProductName, std::string("Flatbed"));
  EXPECT_EQ(ladder.currentSourceName(), "") << "the second Source was not stored";
}

TEST_F(LadderTest, ClimbingAgainAfterAHardResetListsEachSourceOnce) {
  ladder.Refresh();
  ladder.StartupClimb();
  ASSERT_EQ(TWAIN_State(), 4);
  Restart();  // the state drops to 1 without passing through 2
  ladder.Refresh();
  ladder.StepUp();
  ladder.StepUp();
  ASSERT_EQ(TWAIN_State(), 3);
  EXPECT_EQ(view.sources, (Strings{"Flatbed", "Camera"}));
}

TEST_F(LadderTest, FailedOpenIsLoggedAndShown) {
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS).Return(TWRC_FAILURE);
  int waitDuringOpen = -1;
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS).Observe([&](const fake::Call&) {
    waitDuringOpen = view.waitDepth;
  });
  ladder.Refresh();
  ladder.StartupClimb();
  EXPECT_EQ(TWAIN_State(), 3);
  EXPECT_EQ(waitDuringOpen, 1) << "the first listed Source opens under the wait cursor too";
  const Strings lines = Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "Failed to open: Flatbed");
  EXPECT_EQ(lines.back(), "   DG_CONTROL / DAT_IDENTITY / MSG_OPENDS -> TWRC_FAILURE, TWCC_BUMMER");
  EXPECT_EQ(view.boxes, Strings{"Failed to open: Flatbed"});
}

TEST_F(LadderTest, FailedManagerOpenIsLoggedWithTheManagersAnswer) {
  dsm.On(DG_CONTROL, DAT_PARENT, MSG_OPENDSM).Return(TWRC_FAILURE);
  ladder.Refresh();
  ladder.StepUp();
  ladder.StepUp();
  EXPECT_EQ(TWAIN_State(), 2);
  const Strings lines = Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "Opening Source Manager...");
  EXPECT_EQ(lines[lines.size() - 2], ">>> Failed: TWAIN is hosed. Reboot?");
  EXPECT_EQ(lines.back().rfind("   DG_CONTROL / DAT_PARENT / MSG_OPENDSM -> TWRC_FAILURE", 0), 0u)
      << lines.back();
}

TEST_F(LadderTest, ADefaultSourceMissingFromTheListSelectsNothing) {
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT).Run([](const fake::Call&, TW_MEMREF data) {
    auto* identity = static_cast<TW_IDENTITY*>(data);
    *identity = TW_IDENTITY{};
    std::strcpy(identity->ProductName, "Elsewhere");
    return static_cast<TW_UINT16>(TWRC_SUCCESS);
  });
  ladder.Refresh();
  ladder.StepUp();
  ladder.StepUp();
  ASSERT_EQ(TWAIN_State(), 3);
  EXPECT_EQ(view.sources, (Strings{"Flatbed", "Camera"}));
  EXPECT_EQ(view.selected, -1);
}

// A modal box inside a step runs its own message loop, which delivers timer
// ticks and clicks: the ladder must stay disabled and refuse a second step.
TEST_F(LadderTest, NoSecondStepStartsInsideAStep) {
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS).Return(TWRC_FAILURE).Times(2);
  ladder.Refresh();
  ladder.StartupClimb();
  ASSERT_EQ(TWAIN_State(), 3);
  const int finishedBefore = view.stepsFinished;
  bool inStep = false;
  auto tryNestedSteps = [&] {
    inStep = ladder.inStep();
    ladder.TimerTick();
    EXPECT_FALSE(view.higherEnabled || view.lowerEnabled) << "the tick's refresh enabled a button";
    EXPECT_FALSE(view.sourceListEnabled);
    ladder.StepUp();
    ladder.StepDown();
    view.selected = 1;
    ladder.ChangeSource();
  };
  // "Failed to open" shown inside Higher in state 3.
  view.onBox = tryNestedSteps;
  ladder.StepUp();
  EXPECT_TRUE(inStep);
  EXPECT_EQ(TWAIN_State(), 3) << "a nested Lower closed the Manager";
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS), 2u) << dsm.Transcript();
  EXPECT_TRUE(view.higherEnabled && view.lowerEnabled && view.sourceListEnabled);
  EXPECT_EQ(view.stepsFinished, finishedBefore + 1);

  // The Capabilities page's enumeration on arrival in state 4, with a box of
  // its own, is inside the step too.
  view.onBox = nullptr;
  view.onEnumerate = [&] {
    tryNestedSteps();
    ladder.Refresh();
    EXPECT_FALSE(view.higherEnabled || view.lowerEnabled);
  };
  ladder.StepUp();
  EXPECT_TRUE(inStep);
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS), 0u);
  EXPECT_EQ(LastLine(), "Opened Camera [0.00s]") << "the nested Lower did not close it";
  EXPECT_TRUE(view.higherEnabled && view.lowerEnabled);

  // So is the enumeration of a refresh that finds the session in state 4.
  view.onEnumerate = nullptr;
  ladder.StepDown();
  ASSERT_TRUE(TWAIN_SourceOpenDefault());
  view.onEnumerate = tryNestedSteps;
  ladder.TimerTick();
  EXPECT_TRUE(inStep);
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(view.enumerations, 2);
  EXPECT_TRUE(view.higherEnabled && view.lowerEnabled && view.sourceListEnabled);
}

TEST_F(LadderTest, MoreThanSixtyFourSourcesAreNotWrittenPastTheTable) {
  for (int i = 0; i < 70; ++i) dsm.AddSource("Extra " + std::to_string(i));
  ladder.Refresh();
  ladder.StartupClimb();
  EXPECT_EQ(view.sources.size(), 64u);
  EXPECT_EQ(TWAIN_State(), 4);
}

TEST_F(LadderTest, ManagerThatNeverEndsItsListIsNotAskedForever) {
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT).Fill([](TW_MEMREF data) {
    std::strcpy(static_cast<TW_IDENTITY*>(data)->ProductName, "Again");
  });
  ladder.Refresh();
  ladder.StartupClimb();
  EXPECT_EQ(view.sources.size(), 64u);
}

TEST_F(LadderTest, FaultDuringAStepUpIsCaughtAndReported) {
  ladder.Refresh();
  ladder.StartupClimb();
  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS).Run([](const fake::Call&, TW_MEMREF) {
    Crash();
    return TWRC_SUCCESS;
  });
  ladder.StepUp();
  EXPECT_EQ(LineAboveFaultPlace(Lines()), "Exception during state change!");
  EXPECT_EQ(view.waitDepth, 0);
  EXPECT_EQ(view.boxes, Strings{kStepFaultText});
  EXPECT_EQ(TWAIN_State(), 4) << "the session stays as the library last recorded it";
  EXPECT_EQ(TWAIN_Session().callNesting, 0);
  EXPECT_TRUE(view.higherEnabled) << "the refresh after the fault enables the buttons";
}

TEST_F(LadderTest, FaultsInLowerAndInTheSourcesEventHandlingAreCaughtAlike) {
  ladder.Refresh();
  ladder.StartupClimb();
  ladder.StepUp();
  ASSERT_EQ(TWAIN_State(), 5);
  bool crash = true;
  const auto crashing = [&](const fake::Call&, TW_MEMREF) {
    if (crash) Crash();
    return static_cast<TW_UINT16>(TWRC_NOTDSEVENT);
  };
  dsm.On(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT).Run(crashing);
  EXPECT_TRUE(ladder.SourceEvent(platform::Message{nullptr, 0x0113})) << "taken, not dispatched";
  EXPECT_EQ(LineAboveFaultPlace(Lines()), "Exception during state change!");
  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS).Run(crashing);
  ladder.StepDown();
  EXPECT_EQ(LineAboveFaultPlace(Lines()), "Exception during state change!");
  EXPECT_EQ(view.boxes, (Strings{kStepFaultText, kStepFaultText}));
  EXPECT_EQ(TWAIN_Session().callNesting, 0);
  EXPECT_EQ(TWAIN_State(), 5);
  // A Source change stops at the first fault instead of meeting it again.
  ladder.ChangeSource();
  EXPECT_EQ(view.boxes.size(), 3u);
  EXPECT_EQ(TWAIN_State(), 5);
  crash = false;
}

TEST_F(LadderTest, FaultWhileOpeningASourceLeavesNoWaitCursorBehind) {
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS).Run([](const fake::Call&, TW_MEMREF) {
    Crash();
    return TWRC_SUCCESS;
  });
  ladder.Refresh();
  ladder.StartupClimb();
  EXPECT_EQ(TWAIN_State(), 3);
  EXPECT_EQ(LineAboveFaultPlace(Lines()), "Exception during state change!");
  EXPECT_EQ(view.waitDepth, 0);
}

TEST_F(LadderTest, TimerShowsTheMechanismAndSkipsATickInsideATick) {
  ladder.Refresh();
  const int enabledBefore = view.windowEnabled;
  ladder.TimerTick();
  EXPECT_EQ(view.windowEnabled, enabledBefore + 1)
      << "each refresh enables the window a Source's dialog may have disabled";
  EXPECT_EQ(view.xferMechText, "") << "nothing is shown below state 4";
  ladder.StartupClimb();
  int nested = 0;
  view.onXferMechText = [&] {
    ++nested;
    ladder.TimerTick();
  };
  ladder.TimerTick();
  EXPECT_EQ(view.xferMechText, " Xfer Mech: NATIVE");
  EXPECT_EQ(nested, 1) << "the tick inside the tick returned at once";
}

}  // namespace
