#include "script/script_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "caps/logged_operations.h"
#include "pages/image_transfer.h"
#include "pages/layout_form.h"
#include "pages/log.h"
#include "pages/log_store.h"
#include "session_test_support.h"
#include "source_block.h"

namespace {

using Strings = std::vector<std::string>;

// The window as a script sees it: a Data Source list, a device U/I switch,
// a message loop that hands the Source one event per turn, and no pages.
class FakeScriptHost : public ScriptHost, public LadderView {
 public:
  // ScriptHost.
  SessionLadder& Ladder() override { return ladder; }
  LadderView& View() override { return *this; }
  bool Pump(std::uint32_t milliseconds) override {
    ++pumps;
    platform::host::AdvanceTickCount(milliseconds);
    if (ladder.shownState() >= 5) ladder.SourceEvent(platform::Message{window, 0x0200});
    return !closed;
  }
  void ClickDeviceUi(bool checked) override {
    deviceUiChecked = checked;
    TWAIN_SetUIHidden(!checked);
  }
  bool Builds(StepWord) override { return false; }
  bool PageStep(const ScriptStep& step, std::string& why) override {
    if (page) return page(step, why);
    why = "not built";
    return false;
  }
  void ShowProgress() override {
    if (progress) progress();
  }
  bool LastImage(int& width, int& height, int& depth) override {
    if (!imageShown) return false;
    width = 640;
    height = 480;
    depth = 24;
    return true;
  }

  // LadderView.
  platform::WindowHandle Handle() override { return window; }
  void EnableWindow() override {}
  void EnableLadderButtons(bool, bool) override {}
  void SetLadderLabels(const char*, const char*) override {}
  void SetStatePicture(int, bool) override {}
  void ShowDeviceUiSwitch(bool) override {}
  void SetDeviceUiCheck(bool checked) override { deviceUiChecked = checked; }
  void ShowXferMechText(bool) override {}
  void SetXferMechText(const char*) override {}
  void ClearSources() override {
    sources.clear();
    selected = -1;
  }
  int AddSource(const char* name) override {
    sources.push_back(name);
    return static_cast<int>(sources.size()) - 1;
  }
  int SourceCount() override { return static_cast<int>(sources.size()); }
  int SelectedSource() override { return selected; }
  void SelectSource(int index) override { selected = index; }
  std::string SourceText(int index) override { return sources.at(index); }
  void EnableSourceList(bool) override {}
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void InfoBox(const char* text) override { platform::InfoBox(window, text, "Vorrel"); }
  void CloseWindow() override { closed = true; }
  void PagesStateChanged(int, int) override {}
  void EnumerateCapabilities() override {}
  bool TransferImage() override {
    ++transfers;
    return transfer ? transfer() : false;
  }
  void AppendTabs() override {}
  void ShowSelectedPage() override {}

  platform::WindowHandle window = platform::host::CreateTestWindow();
  SessionLadder ladder{*this};
  Strings sources;
  int selected = -1;
  bool deviceUiChecked = true;
  bool closed = false;
  int pumps = 0;
  int transfers = 0;
  std::function<bool()> transfer;  // the Images page's step; none: nothing is transferred
  std::function<bool(const ScriptStep&, std::string&)> page;  // none: no page is built
  bool imageShown = false;
  std::function<void()> progress;  // the window would paint the log's last line
};

class ScriptRunnerTest : public SessionTest {
 protected:
  ScriptRunnerTest() { SetLogSink(ToStore, &log); }

  static void ToStore(const char* text, bool final, void* context) {
    static_cast<LogStore*>(context)->Write(text, final);
  }
  // The window as it stands after its start-up climb.
  void Climb() {
    host.ladder.Refresh();
    host.ladder.StartupClimb();
    ASSERT_EQ(TWAIN_State(), 4) << dsm.Transcript();
    dsm.ClearCalls();
  }
  int Run(const std::string& text) {
    const Script script = ReadScriptText(text);
    EXPECT_TRUE(script.errors.empty()) << ScriptErrorText("s", script.errors.at(0));
    return RunScript(script, host);
  }
  Strings Lines() const {
    Strings lines;
    for (int i = 0; i < log.count(); ++i) lines.push_back(log.line(i));
    return lines;
  }
  bool Logged(const std::string& line) const {
    const Strings lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  std::string LastLine() const { return log.count() ? log.line(log.count() - 1) : ""; }

  LogStore log;
  FakeScriptHost host;
};

TEST_F(ScriptRunnerTest, PassingScriptRunsThroughTheLadderAndLogsEachLine) {
  Climb();
  // A box from before the run is no step's doing.
  platform::InfoBox(nullptr, "shown by the start-up climb", "Vorrel");
  dsm.OnCap(ICAP_PIXELTYPE, MSG_SET).Return(TWRC_SUCCESS);
  dsm.QueueEvent(MSG_XFERREADY);
  EXPECT_EQ(Run("ui off\n"
                "set ICAP_PIXELTYPE onevalue uint16 TWPT_GRAY\n"
                "expect result TWRC_SUCCESS\n"
                "state 6   # enables, then waits for the Source\n"
                "expect state 6\n"
                "state 1\n"),
            kScriptPassed)
      << testing::PrintToString(Lines());
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_FALSE(host.deviceUiChecked);

  // The SET carried the container the line describes.
  const std::vector<fake::Call> sets = dsm.CallsOf(DG_CONTROL, DAT_CAPABILITY, MSG_SET);
  ASSERT_GE(sets.size(), 1u);
  const std::vector<std::uint8_t> gray = {TWTY_UINT16, 0, TWPT_GRAY, 0, 0, 0};
  EXPECT_EQ(sets[0].Cap(), ICAP_PIXELTYPE);
  EXPECT_EQ(sets[0].container, gray);
  // Enabled with the device U/I hidden, as the switch said.
  const std::vector<fake::Call> enables = dsm.CallsOf(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS);
  ASSERT_EQ(enables.size(), 1u);
  TW_USERINTERFACE ui;
  std::memcpy(&ui, enables[0].record.data(), sizeof(ui));
  EXPECT_EQ(ui.ShowUI, 0);

  // Each script line is named before the lines its clicks write.
  const Strings lines = Lines();
  auto at = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
  };
  EXPECT_LT(at("   [2] set ICAP_PIXELTYPE onevalue uint16 TWPT_GRAY"),
            at("MSG_SET(ICAP_PIXELTYPE) -> TWRC_SUCCESS"));
  EXPECT_LT(at("   [4] state 6"), at("received MSG_XFERREADY"));
  EXPECT_LT(at("received MSG_XFERREADY"), at("   [5] expect state 6"));
  EXPECT_TRUE(Logged("   [4] state 6")) << "the comment is not part of the step";
  EXPECT_EQ(LastLine().rfind("   Script passed: 6 steps [", 0), 0u) << LastLine();
}

TEST_F(ScriptRunnerTest, FailedExpectationEndsTheScriptAtItsLine) {
  Climb();
  dsm.OnCap(ICAP_PIXELTYPE, MSG_GETCURRENT)
      .ReplyContainer(TWON_ONEVALUE, {TWTY_UINT16, 0, 2, 0, 0, 0});
  EXPECT_EQ(Run("getcurrent ICAP_PIXELTYPE\n"
                "expect current ICAP_PIXELTYPE TWPT_GRAY\n"
                "state 1\n"),
            kScriptFailed);
  EXPECT_TRUE(Logged("   uint16 ONEVALUE = TWPT_RGB")) << testing::PrintToString(Lines());
  EXPECT_TRUE(
      Logged("   [2] failed: expected ICAP_PIXELTYPE current TWPT_GRAY, the Source has TWPT_RGB"))
      << testing::PrintToString(Lines());
  EXPECT_EQ(LastLine(), "   Script failed at line 2: expect current ICAP_PIXELTYPE TWPT_GRAY");
  EXPECT_EQ(TWAIN_State(), 4) << "nothing after the failed line runs";

  // The same value in the other text forms the editors accept holds.
  EXPECT_EQ(Run("expect current ICAP_PIXELTYPE 2\nexpect current ICAP_PIXELTYPE twpt_rgb\n"),
            kScriptPassed);
}

TEST_F(ScriptRunnerTest, FailedStepPassesOnlyWhenTheNextLineChecksItsResult) {
  Climb();
  dsm.OnCap(ICAP_UNITS, MSG_SET).Return(TWRC_FAILURE).Condition(TWCC_BADVALUE);
  const std::string set = "set ICAP_UNITS onevalue uint16 TWUN_PIXELS\n";
  EXPECT_EQ(Run(set + "expect result TWRC_FAILURE TWCC_BADVALUE\n"), kScriptPassed);
  EXPECT_EQ(Run(set + "expect result TWRC_FAILURE\n"), kScriptPassed);
  EXPECT_EQ(Run(set + "expect result TWRC_FAILURE TWCC_SUCCESS\n"), kScriptFailed);
  EXPECT_TRUE(
      Logged("   [2] failed: expected TWRC_FAILURE, TWCC_SUCCESS, the last step gave "
             "TWRC_FAILURE, TWCC_BADVALUE"));
  EXPECT_EQ(Run(set + "expect state 4\n"), kScriptFailed);
  EXPECT_EQ(LastLine(), "   Script failed at line 1: set ICAP_UNITS onevalue uint16 TWUN_PIXELS");
  EXPECT_EQ(Run(set), kScriptFailed);
  EXPECT_EQ(Run(set + "expect result TWRC_SUCCESS\n"), kScriptFailed);
  EXPECT_TRUE(Logged("   [1] MSG_SET failed (line 2 checks the result)"));
  EXPECT_TRUE(Logged(
      "   [2] failed: expected TWRC_SUCCESS, the last step gave TWRC_FAILURE, TWCC_BADVALUE"))
      << testing::PrintToString(Lines());

  // A ladder step the Source refuses, with the refusal's condition code.
  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS)
      .Return(TWRC_FAILURE)
      .Condition(TWCC_OPERATIONERROR);
  EXPECT_EQ(Run("state 5\nexpect result TWRC_FAILURE TWCC_OPERATIONERROR\nexpect state 4\n"),
            kScriptPassed)
      << testing::PrintToString(Lines());
  EXPECT_EQ(Run("state 5\n"), kScriptFailed);
  EXPECT_TRUE(Logged("   [1] failed: 'Higher' in state 4 left the session in state 4"));
  EXPECT_EQ(Run("state 5\nexpect result TWRC_FAILURE TWCC_SUCCESS\n"), kScriptFailed)
      << "the condition code is asked for when the next line names one";

  // TWCC_SUCCESS is a condition code like any other.
  EXPECT_EQ(Run("state 3\nexpect result TWRC_SUCCESS TWCC_SUCCESS\n"), kScriptPassed)
      << testing::PrintToString(Lines());
}

TEST_F(ScriptRunnerTest, EveryWaitEndsAtItsLimit) {
  Climb();
  // The Source never says an image is ready.
  EXPECT_EQ(Run("ui off\ntimeout 2\nstate 6\n"), kScriptFailed);
  EXPECT_TRUE(Logged("   [3] failed: no image became ready within 2 s in state 5"))
      << testing::PrintToString(Lines());
  EXPECT_EQ(TWAIN_State(), 5);
  EXPECT_LE(host.pumps, 2000 / 50 + 10) << "the wait ends near its limit";

  // Closing the window ends the wait at once, and says so.
  host.pumps = 0;
  host.closed = true;
  EXPECT_EQ(Run("state 6\n"), kScriptFailed);
  EXPECT_TRUE(Logged("   [1] failed: the window was closed")) << testing::PrintToString(Lines());
  EXPECT_LE(host.pumps, 2);
}

TEST_F(ScriptRunnerTest, WrongStateAtRunTimeAndFaultsEndTheScriptWithoutSendingMore) {
  host.ladder.Refresh();
  host.ladder.StepUp();
  host.ladder.StepUp();
  ASSERT_EQ(TWAIN_State(), 3);
  dsm.ClearCalls();
  EXPECT_EQ(Run("set ICAP_UNITS onevalue uint16 0\n"), kScriptFailed);
  EXPECT_TRUE(Logged("   [1] failed: 'set' does not run in state 3"));
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_CAPABILITY, MSG_SET), 0u);

  host.ladder.StepUp();
  ASSERT_EQ(TWAIN_State(), 4);
  dsm.OnCap(ICAP_PIXELTYPE, MSG_GET).Run([](const fake::Call&, TW_MEMREF) {
    Crash();
    return TWRC_SUCCESS;
  });
  EXPECT_EQ(Run("get ICAP_PIXELTYPE\nstate 1\n"), kScriptFailed);
  EXPECT_TRUE(Logged("   [1] failed: fault 0xc0000005 inside the Source or the Source Manager"))
      << testing::PrintToString(Lines());
  EXPECT_EQ(TWAIN_Session().callNesting, 0);
  EXPECT_EQ(TWAIN_State(), 4);

  // A fault the ladder's own guard catches shows its box: the step failed.
  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS).Run([](const fake::Call&, TW_MEMREF) {
    Crash();
    return TWRC_SUCCESS;
  });
  EXPECT_EQ(Run("state 5\nexpect result TWRC_SUCCESS\n"), kScriptFailed);
  EXPECT_TRUE(Logged("Exception during state change!"));
  EXPECT_TRUE(Logged(std::string("   message box \"Vorrel\": ") +
                     "An exception (a fatal execution error) has been detected in the active Data "
                     "Source or TWAIN Manager  Vorrel is probably unstable now. We recommend you "
                     "exit or at least close the DS."))
      << testing::PrintToString(Lines());
  EXPECT_TRUE(Logged("   [1] failed: the probe reported an error in a message box"));
}

TEST_F(ScriptRunnerTest, SourceIsChosenByItsListedName) {
  Climb();
  EXPECT_EQ(Run("source camera\nexpect state 4\n"), kScriptPassed)
      << testing::PrintToString(Lines());
  EXPECT_STREQ(TWAIN_SourceProductName(), "Camera");
  EXPECT_TRUE(Logged("Closed Flatbed [0.00s]")) << "the ladder's own steps did it";
  EXPECT_EQ(Run("source Camera\n"), kScriptPassed);
  EXPECT_TRUE(Logged("   Camera is open already"));
  // Closed, it is opened again, though it is still the one selected.
  EXPECT_EQ(Run("state 3\nsource Camera\nexpect state 4\n"), kScriptPassed)
      << testing::PrintToString(Lines());
  EXPECT_EQ(Run("source Scanner\n"), kScriptFailed);
  EXPECT_TRUE(Logged("   [1] failed: no Source named \"Scanner\" is listed (Flatbed, Camera)"));
  EXPECT_EQ(Run("source Flatbed\n"), kScriptPassed) << "the first listed";
  EXPECT_STREQ(TWAIN_SourceProductName(), "Flatbed");
  // A Manager that opens some other Source than the one asked for.
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS).Run([](const fake::Call&, TW_MEMREF data) {
    std::strcpy(static_cast<TW_IDENTITY*>(data)->ProductName, "Flatbed");
    return static_cast<TW_UINT16>(TWRC_SUCCESS);
  });
  EXPECT_EQ(Run("source Camera\n"), kScriptFailed);
  EXPECT_TRUE(Logged("   [1] failed: Camera did not open; the session is in state 4"))
      << testing::PrintToString(Lines());
}

TEST_F(ScriptRunnerTest, BadScriptRunsNothingAndUnbuiltStepsAreNamed) {
  Climb();
  const Script bad = ReadScriptText("state 1\nfly\n");
  EXPECT_EQ(RunScript(bad, host), kScriptBad);
  EXPECT_TRUE(dsm.Calls().empty());
  EXPECT_EQ(TWAIN_State(), 4);

  const Script pages = ReadScriptText("state 7\nsave image a.bmp\nstate 4\nlayout get\n");
  ASSERT_TRUE(pages.errors.empty());
  const std::vector<ScriptError> unbuilt = UnbuiltSteps(pages, host);
  ASSERT_EQ(unbuilt.size(), 3u);
  EXPECT_EQ(unbuilt[0].line, 1);
  EXPECT_EQ(unbuilt[0].message, "'state 7' needs a page that is not built in this version");
  EXPECT_EQ(unbuilt[1].message, "'save image' needs a page that is not built in this version");
  EXPECT_EQ(unbuilt[1].line, 2);
  EXPECT_EQ(unbuilt[2].line, 4);

  // Every step a page carries out is named, up to the error limit.
  const Script all = ReadScriptText(
      "layout getdefault\nlayout set 0 0 1 1\nlayout reset\nsave report r.txt\nstate 6\n"
      "imageinfo\ntransfer\nget ICAP_UNITS\n");
  ASSERT_TRUE(all.errors.empty()) << ScriptErrorText("s", all.errors.at(0));
  std::vector<int> lines;
  const std::vector<ScriptError> allUnbuilt = UnbuiltSteps(all, host);
  for (const ScriptError& error : allUnbuilt) lines.push_back(error.line);
  EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 4, 6, 7}));
  EXPECT_EQ(allUnbuilt.back().message, "'transfer' needs a page that is not built in this version");
  std::string many;
  for (int i = 0; i < kMaxScriptErrors + 5; ++i) many += "layout get\n";
  EXPECT_EQ(UnbuiltSteps(ReadScriptText(many), host).size(),
            static_cast<std::size_t>(kMaxScriptErrors));
}

TEST_F(ScriptRunnerTest, ContainersAreSummedUpInOneLine) {
  Climb();
  dsm.OnCap(ICAP_XFERMECH, MSG_GET).ReplyContainer(TWON_ENUMERATION, {TWTY_UINT16, 0, 3, 0, 0, 0, 2,
                                                                      0,           0, 0, 0, 0, 0, 0,
                                                                      0,           0, 1, 0, 2, 0});
  dsm.OnCap(ICAP_CONTRAST, MSG_GET).ReplyContainer(TWON_RANGE, {TWTY_FIX32, 0, 0x18, 0xfc, 0,  0,
                                                                0xe8,       3, 0,    0,    10, 0,
                                                                0,          0, 0,    0,    0,  0,
                                                                0,          0, 0,    0,    0,  0});
  EXPECT_EQ(Run("get ICAP_XFERMECH\nget ICAP_CONTRAST\n"), kScriptPassed);
  EXPECT_TRUE(Logged("   uint16 ENUMERATION of 3, current TWSX_MEMORY, default TWSX_NATIVE"))
      << testing::PrintToString(Lines());
  EXPECT_TRUE(Logged("   fix32 RANGE -1000 to 1000 step 10, current 0, default 0"))
      << testing::PrintToString(Lines());
}

TEST_F(ScriptRunnerTest, ExpectCurrentComparesEachShapeItemByItem) {
  Climb();
  dsm.OnCap(0x8001, MSG_GETCURRENT)
      .ReplyContainer(TWON_ARRAY, LeBytes().U16(TWTY_UINT16).U32(2).U16(1).U16(2));
  dsm.OnCap(0x8002, MSG_GETCURRENT)
      .ReplyContainer(TWON_RANGE, LeBytes().U16(TWTY_UINT16).U32(0).U32(10).U32(5).U32(0).U32(5));
  dsm.OnCap(0x8003, MSG_GETCURRENT)
      .ReplyContainer(
          TWON_RANGE,
          LeBytes().U16(TWTY_FIX32).U32(0).U32(5).U32(0x80000000).U32(0).U32(0x80000002));
  std::vector<std::uint8_t> name = LeBytes().U16(TWTY_STR32);
  name.resize(2 + 34);
  std::memcpy(name.data() + 2, "Ann", 3);
  dsm.OnCap(0x8004, MSG_GETCURRENT).ReplyContainer(TWON_ONEVALUE, name);
  std::vector<std::uint8_t> noName = LeBytes().U16(TWTY_STR32);
  noName.resize(2 + 34);
  dsm.OnCap(0x800a, MSG_GETCURRENT).ReplyContainer(TWON_ONEVALUE, noName);
  std::vector<std::uint8_t> longName = LeBytes().U16(TWTY_STR255);
  longName.resize(2 + 256);
  std::memcpy(longName.data() + 2, "Bob", 3);
  dsm.OnCap(0x8009, MSG_GETCURRENT).ReplyContainer(TWON_ONEVALUE, longName);
  dsm.OnCap(0x8005, MSG_GETCURRENT)
      .ReplyContainer(
          TWON_ONEVALUE,
          LeBytes().U16(TWTY_FRAME).U16(0).U16(0).U16(0).U16(0).U16(8).U16(0x8000).U16(14).U16(0));
  dsm.OnCap(0x8006, MSG_GETCURRENT)
      .ReplyContainer(TWON_ENUMERATION,
                      LeBytes().U16(TWTY_INT16).U32(3).U32(1).U32(0).U16(7).U16(0xFFFF).U16(9));
  // A one-value whose block ends before its item.
  dsm.OnCap(0x8007, MSG_GETCURRENT).ReplyContainer(TWON_ONEVALUE, LeBytes().U16(TWTY_UINT16));
  dsm.OnCap(0x8008, MSG_GETCURRENT)
      .ReplyContainer(TWON_ONEVALUE, LeBytes().U16(TWTY_FIX32).U16(2).U16(0x8000));
  const struct {
    std::string line;
    int result;
  } cases[] = {
      {"expect current 0x8001 1 2", kScriptPassed},
      {"expect current 0x8001 1", kScriptFailed},
      {"expect current 0x8001 1 3", kScriptFailed},
      {"expect current 0x8001 1 2 3", kScriptFailed},
      {"expect current 0x8002 5", kScriptPassed},
      {"expect current 0x8002 6", kScriptFailed},
      {"expect current 0x8002 5 5", kScriptFailed},
      {"expect current 0x8003 2.5", kScriptPassed},
      {"expect current 0x8003 2.500001", kScriptPassed},
      {"expect current 0x8003 2.51", kScriptFailed},
      {"expect current 0x8004 Ann", kScriptPassed},
      {"expect current 0x8009 Bob", kScriptPassed},
      {"expect current 0x8009 Bo", kScriptFailed},
      {"expect current 0x800a \"\"", kScriptPassed},
      {"expect current 0x800a x", kScriptFailed},
      {"expect current 0x8004 An", kScriptFailed},
      {"expect current 0x8005 \"0, 0, 8.5, 14\"", kScriptPassed},
      {"expect current 0x8005 \"0, 0, 8.5, 14.01\"", kScriptFailed},
      {"expect current 0x8005 \"0, 0, 8.5, 14.0000152587890625\"", kScriptPassed},
      {"expect current 0x8005 \"0, 0, 8.5\"", kScriptFailed},
      {"expect current 0x8006 -1", kScriptPassed},
      {"expect current 0x8006 7", kScriptFailed},
      {"expect current 0x8006 -1 -1", kScriptFailed},
      {"expect current 0x8007 0", kScriptFailed},
      {"expect current 0x8008 2.500001", kScriptPassed},
      {"expect current 0x8008 2.51", kScriptFailed},
  };
  for (const auto& c : cases) EXPECT_EQ(Run(c.line), c.result) << c.line;
  EXPECT_TRUE(Logged("   [1] failed: expected CAP_0x8001 current 1 3, the Source has 1 2"));
  EXPECT_TRUE(Logged("   [1] failed: expected CAP_0x8002 current 6, the Source has 5"));
}

TEST_F(ScriptRunnerTest, SetSendsTheShapeTheLineDescribes) {
  Climb();
  for (TW_UINT16 cap : {TW_UINT16{0x8001}, TW_UINT16{0x8002}, TW_UINT16{0x8003}, CAP_EXTENDEDCAPS,
                        ICAP_FRAMES, CAP_AUTHOR})
    dsm.OnCap(cap, MSG_SET).Return(TWRC_SUCCESS);
  EXPECT_EQ(Run("set 0x8001 enumeration uint16 10 20 30 current=2 default=1\n"
                "set 0x8002 range uint16 0 10 5 current=10 default=5\n"
                "set 0x8003 array uint16 7 8\n"
                "set CAP_EXTENDEDCAPS array uint16 ICAP_UNITS 5\n"
                "set ICAP_FRAMES enumeration frame \"0, 0, 8.5, 11\"\n"
                "set CAP_AUTHOR array str32 \"Ann Lee\"\n"),
            kScriptPassed)
      << testing::PrintToString(Lines());
  const std::vector<fake::Call> sets = dsm.CallsOf(DG_CONTROL, DAT_CAPABILITY, MSG_SET);
  ASSERT_EQ(sets.size(), 6u);
  EXPECT_EQ(sets[0].container,
            std::vector<std::uint8_t>(
                LeBytes().U16(TWTY_UINT16).U32(3).U32(2).U32(1).U16(10).U16(20).U16(30).U16(0)));
  EXPECT_EQ(
      sets[1].container,
      std::vector<std::uint8_t>(LeBytes().U16(TWTY_UINT16).U32(0).U32(10).U32(5).U32(5).U32(10)));
  EXPECT_EQ(sets[2].container,
            std::vector<std::uint8_t>(LeBytes().U16(TWTY_UINT16).U32(2).U16(7).U16(8).U16(0)));
  EXPECT_EQ(sets[3].container, std::vector<std::uint8_t>(
                                   LeBytes().U16(TWTY_UINT16).U32(2).U16(ICAP_UNITS).U16(5).U16(0)))
      << "a capability list takes capabilities by name";
  EXPECT_EQ(sets[4].container, std::vector<std::uint8_t>(LeBytes()
                                                             .U16(TWTY_FRAME)
                                                             .U32(1)
                                                             .U32(0)
                                                             .U32(0)
                                                             .U32(0)
                                                             .U32(0)
                                                             .U16(8)
                                                             .U16(0x8000)
                                                             .U16(11)
                                                             .U16(0)
                                                             .U16(0)));
  std::vector<std::uint8_t> author = LeBytes().U16(TWTY_STR32).U32(1);
  author.resize(author.size() + 34 + 2);
  std::memcpy(author.data() + 6, "Ann Lee", 7);
  EXPECT_EQ(sets[5].container, author);
}

TEST_F(ScriptRunnerTest, AFailedExpectationIsNotExcusedByAnExpectResultAfterIt) {
  Climb();
  const char* expectations[] = {"expect state 5",          "expect result TWRC_FAILURE",
                                "expect current 0x8001 1", "expect width 5",
                                "expect height 5",         "expect depth 5"};
  for (const char* line : expectations) {
    // The image lines are read after a transfer, but this host has no image.
    Script script =
        ReadScriptText(std::string("state 7\n") + line + "\nexpect result TWRC_SUCCESS\n");
    ASSERT_TRUE(script.errors.empty()) << line;
    script.steps.erase(script.steps.begin());
    EXPECT_EQ(RunScript(script, host), kScriptFailed) << line;
    EXPECT_EQ(LastLine(), std::string("   Script failed at line 2: ") + line);
  }
}

TEST_F(ScriptRunnerTest, ExpectResultAfterALayoutSetChecksTheSetNotTheGetAfterIt) {
  Climb();
  LayoutForm form;
  host.page = [&form](const ScriptStep& step, std::string&) {
    for (int i = 0; i < 4; ++i) form.SetField(i, std::to_string(step.frame[i]));
    form.Set();  // MSG_SET, its line, then a silent MSG_GET
    return true;
  };
  dsm.On(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET).Return(TWRC_FAILURE).Condition(TWCC_BADVALUE);
  dsm.On(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET).Return(TWRC_SUCCESS);
  EXPECT_EQ(Run("layout set 0 0 1 1\nexpect result TWRC_FAILURE TWCC_BADVALUE\n"), kScriptPassed)
      << testing::PrintToString(Lines());

  // Every page step that logs its triplet's result is checked by that result,
  // whatever triplet the page sends after it.
  host.page = [](const ScriptStep&, std::string&) {
    TW_IMAGELAYOUT layout{};
    TWAIN_DS(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout);
    ResultText();
    TWAIN_DS(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout);
    return true;
  };
  for (const char* line : {"layout get", "layout getdefault", "layout reset"}) {
    EXPECT_EQ(Run(std::string(line) + "\nexpect result TWRC_FAILURE TWCC_BADVALUE\n"),
              kScriptPassed)
        << line;
  }
  dsm.QueueEvent(MSG_XFERREADY);
  EXPECT_EQ(Run("ui off\nstate 6\nimageinfo\nexpect result TWRC_FAILURE TWCC_BADVALUE\n"),
            kScriptPassed)
      << testing::PrintToString(Lines());
}

// A page that keeps nothing: the steps' triplets and lines are what count.
class NoImagePage : public ImagePageView {
 public:
  void Clear() override {}
  void SetImage(DibHandle handle) override { platform::MemFree(handle); }
  void SetInfoText(const std::string&) override {}
  void AppendInfoText(const std::string&) override {}
  void InfoBox(const char*) override {}
};

TEST_F(ScriptRunnerTest, AFailedTransferIsCheckedByTheConditionItsNoteAskedFor) {
  Climb();
  dsm.QueueEvent(MSG_XFERREADY);
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_FAILURE).Condition(TWCC_BADVALUE);
  NoImagePage page;
  host.transfer = [&] { return NativeTransferStep(page); };
  EXPECT_EQ(Run("ui off\nstate 6\ntransfer\nexpect result TWRC_FAILURE TWCC_BADVALUE\n"),
            kScriptPassed)
      << testing::PrintToString(Lines());
  // One DAT_STATUS after the failed transfer: the note's.
  const auto& calls = dsm.Calls();
  auto failed = std::find_if(calls.begin(), calls.end(), [](const fake::Call& call) {
    return call.dat == DAT_IMAGENATIVEXFER;
  });
  ASSERT_NE(failed, calls.end());
  EXPECT_EQ(std::count_if(failed, calls.end(),
                          [](const fake::Call& call) { return call.dat == DAT_STATUS; }),
            1);
}

TEST_F(ScriptRunnerTest, TransferAsksThePageAndTheImageLinesReadItsSize) {
  Climb();
  dsm.QueueEvent(MSG_XFERREADY);
  EXPECT_EQ(Run("ui off\nstate 6\ntransfer\n"), kScriptFailed);
  EXPECT_EQ(host.transfers, 1);
  EXPECT_EQ(LastLine(), "   Script failed at line 3: transfer");

  host.imageShown = true;
  const struct {
    const char* line;
    int result;
  } cases[] = {{"expect width 640", kScriptPassed},  {"expect width 480", kScriptFailed},
               {"expect height 480", kScriptPassed}, {"expect height 640", kScriptFailed},
               {"expect depth 24", kScriptPassed},   {"expect depth 480", kScriptFailed}};
  for (const auto& c : cases) {
    Script script = ReadScriptText(std::string("state 7\n") + c.line);
    script.steps.erase(script.steps.begin());
    EXPECT_EQ(RunScript(script, host), c.result) << c.line;
  }
  EXPECT_TRUE(Logged("   [2] failed: expected depth 480, the image has 24"));
}

// `check` goes down to state 4 as Lower does, and the expectations after it
// read that pass. The bare fake Manager answers the status group's
// out-of-sequence calls with success: two findings, 80 points.
TEST_F(ScriptRunnerTest, CheckGoesDownToStateFourAndItsExpectationsReadThePass) {
  Climb();
  dsm.QueueEvent(MSG_XFERREADY);
  ASSERT_EQ(Run("state 6\n"), kScriptPassed);
  dsm.ClearCalls();
  Strings shown;
  host.progress = [&] { shown.push_back(LastLine()); };
  EXPECT_EQ(Run("check identity,status\n"
                "expect state 4\n"
                "expect findings 2\n"
                "expect score >= 80\n"),
            kScriptPassed)
      << testing::PrintToString(Lines());
  const Strings sent = Sent();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent[0], "DG_CONTROL / DAT_PENDINGXFERS / MSG_RESET");
  EXPECT_EQ(sent[1], "DG_CONTROL / DAT_USERINTERFACE / MSG_DISABLEDS");
  EXPECT_TRUE(Logged("   2 finding(s): status.seqerror, status.seqerror"))
      << testing::PrintToString(Lines());
  // Each group's progress line is shown as it starts.
  EXPECT_EQ(shown, (Strings{"Checking the Source: identity (1 of 2)...",
                            "Checking the Source: status (2 of 2)..."}));

  // Only the named groups run: the identity group asks the Source nothing.
  dsm.ClearCalls();
  EXPECT_EQ(Run("check identity\nexpect findings 0\nexpect score >= 100\n"), kScriptPassed);
  EXPECT_EQ(Sent(), Strings{}) << dsm.Transcript();

  EXPECT_EQ(Run("check status\nexpect findings 0\n"), kScriptFailed);
  EXPECT_EQ(LastLine(), "   Script failed at line 2: expect findings 0");
  EXPECT_TRUE(
      Logged("   [2] failed: expected 0 finding(s), the last check found 2 "
             "(status.seqerror, status.seqerror)"))
      << testing::PrintToString(Lines());
  EXPECT_EQ(Run("check status\nexpect score >= 81\n"), kScriptFailed);
  EXPECT_TRUE(Logged("   [2] failed: expected a score of at least 81, the last check scored 80"));
}

TEST(ContainerSummaryTest, ListsShowTheirFirstItemOnlyWhenTheyHaveOne) {
  ContainerHandle* empty = CONTAINER_CreateArray(TWTY_UINT16, 0);
  EXPECT_EQ(ContainerSummary(empty, 0x8001), "uint16 ARRAY of 0");
  CONTAINER_Free(empty);
  ContainerHandle* one = CONTAINER_CreateArray(TWTY_UINT16, 1);
  CONTAINER_SetItemValue(one, 0, 7);
  EXPECT_EQ(ContainerSummary(one, 0x8001), "uint16 ARRAY of 1: 7");
  CONTAINER_Free(one);
  ContainerHandle* two = CONTAINER_CreateArray(TWTY_UINT16, 2);
  CONTAINER_SetItemValue(two, 0, 7);
  EXPECT_EQ(ContainerSummary(two, 0x8001), "uint16 ARRAY of 2: 7 ...");
  CONTAINER_Free(two);
}

}  // namespace
