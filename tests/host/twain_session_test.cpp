#include "session/twain_session.h"

#include <cstring>

#include "platform/debug_output.h"
#include "session_test_support.h"

namespace {

using platform::host::GetMemoryStats;
using platform::host::LiveModuleCount;
using platform::host::LoadCount;
using Strings = std::vector<std::string>;

TEST_F(SessionTest, WalksEveryStateUpAndDown) {
  const std::vector<std::pair<std::function<bool()>, int>> up = {
      {[] { return TWAIN_BindManager(); }, 2},
      {[] { return TWAIN_ManagerOpen(nullptr); }, 3},
      {[] { return TWAIN_SourceOpenDefault(); }, 4},
      {[] { return TWAIN_SourceEnable(nullptr); }, 5},
  };
  for (auto& [step, state] : up) {
    EXPECT_TRUE(step());
    EXPECT_EQ(TWAIN_State(), state) << dsm.Transcript();
  }
  EXPECT_EQ(Sent(), (Strings{"DG_CONTROL / DAT_PARENT / MSG_OPENDSM",
                             "DG_CONTROL / DAT_IDENTITY / MSG_OPENDS",
                             "DG_CONTROL / DAT_USERINTERFACE / MSG_ENABLEDS"}));
  dsm.ClearCalls();
  EXPECT_TRUE(TWAIN_SourceDisable());
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_TRUE(TWAIN_SourceClose());
  EXPECT_EQ(TWAIN_State(), 3);
  EXPECT_TRUE(TWAIN_ManagerClose(nullptr));
  EXPECT_EQ(TWAIN_State(), 2);
  EXPECT_TRUE(TWAIN_UnbindManager());
  EXPECT_EQ(TWAIN_State(), 1);
  // Unbinding closes the Manager once more on its way, which a closed Manager refuses.
  EXPECT_EQ(Sent(), (Strings{"DG_CONTROL / DAT_USERINTERFACE / MSG_DISABLEDS",
                             "DG_CONTROL / DAT_IDENTITY / MSG_CLOSEDS",
                             "DG_CONTROL / DAT_PARENT / MSG_CLOSEDSM",
                             "DG_CONTROL / DAT_PARENT / MSG_CLOSEDSM"}));
  EXPECT_EQ(LiveModuleCount(), 0);
  EXPECT_EQ(platform::host::LiveWindowCount(), 0) << "the proxy window is destroyed on unbind";
}

TEST_F(SessionTest, StartupCountsAndOnlyTheLastShutdownResets) {
  // The fixture has started once.
  EXPECT_EQ(TWAIN_Startup(), 2);
  GoTo(5);
  TWAIN_Shutdown();
  EXPECT_EQ(TWAIN_State(), 5) << "an inner shutdown does nothing but count";
  TWAIN_Shutdown();
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_EQ(TWAIN_Session().managerEntry, nullptr);
  EXPECT_EQ(LiveModuleCount(), 0);
  EXPECT_TRUE(dsm.Calls().empty()) << "a hard reset sends nothing: " << dsm.Transcript();
  EXPECT_EQ(TWAIN_Startup(), 1);
  // A shutdown too many does not make the next start-up skip its work.
  TWAIN_Shutdown();
  TWAIN_Shutdown();
  EXPECT_EQ(TWAIN_Startup(), 1);
  TW_IDENTITY cleared{};
  EXPECT_EQ(std::memcmp(&TWAIN_Session().sourceIdentity, &cleared, sizeof(cleared)), 0);
}

TEST_F(SessionTest, HardResetAfterAFaultForgetsTheTripletLeftInProgress) {
  GoTo(4);
  TWAIN_Session().callNesting = 1;  // a fault left a call without its return
  TWAIN_Shutdown();
  TWAIN_Startup();
  platform::TakeCapturedDebugOutput();
  GoTo(5);  // enabling goes through the Source call path, which counts nesting
  EXPECT_EQ(platform::TakeCapturedDebugOutput(), "") << "a call was noted as nested";
  EXPECT_EQ(TWAIN_Session().callNesting, 0);
}

TEST_F(SessionTest, AppIdentityDefaultsAndIsTruncatedTo32Characters) {
  const TW_IDENTITY& app = TWAIN_Session().appIdentity;
  EXPECT_STREQ(app.ProductName, "TWAIN Application");
  EXPECT_STREQ(app.ProductFamily, "Unspecified");
  EXPECT_STREQ(app.Manufacturer, "Unknown");
  EXPECT_STREQ(app.Version.Info, "Unknown");
  EXPECT_EQ(app.Version.Language, 13);
  EXPECT_EQ(app.Version.Country, 1);
  EXPECT_EQ(TW_UINT32{app.SupportedGroups}, 3u);

  const std::string longName(40, 'N');
  TWAIN_SetAppIdentity(1, 26, 13, 1, "1.26", "Kandrith", "Ambit Tools", longName.c_str());
  EXPECT_EQ(std::string(app.ProductName), std::string(32, 'N'));
  EXPECT_EQ(app.ProductName[32], 0);
  EXPECT_EQ(app.ProductName[33], 0);
  EXPECT_EQ(app.Version.MinorNum, 26);
  EXPECT_EQ(app.Version.MajorNum, 1);
  EXPECT_STREQ(app.Version.Info, "1.26");
  EXPECT_STREQ(app.Manufacturer, "Kandrith");
  EXPECT_STREQ(app.ProductFamily, "Ambit Tools");
  EXPECT_EQ(app.ProtocolMajor, 1);
  EXPECT_EQ(app.ProtocolMinor, 8);
  GoTo(3);
  EXPECT_NE(TW_UINT32{app.Id}, 0u) << "the Manager assigns the application its Id";
}

TEST_F(SessionTest, BindLoadsOnceAndRefusesWhatIsNotAManager) {
  EXPECT_TRUE(TWAIN_BindManager());
  EXPECT_TRUE(TWAIN_BindManager());
  EXPECT_EQ(LoadCount(dsm.path()), 1);
  EXPECT_EQ(TWAIN_State(), 2);
  EXPECT_TRUE(dsm.Calls().empty());
}

TEST(BindManagerTest, MissingManagerLeavesStateOneAndLoadsNothing) {
  EXPECT_FALSE(TWAIN_BindManager());
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_EQ(LiveModuleCount(), 0);
  EXPECT_TRUE(platform::TakeCapturedMessageBoxes().empty())
      << "the caller reports, not the library";
}

TEST(BindManagerTest, LibraryWithoutEntryPointIsFreedAgain) {
  platform::host::RegisterModule("C:\\WINDOWS\\TWAIN_32.DLL", {{"Other", nullptr}});
  EXPECT_FALSE(TWAIN_BindManager());
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_EQ(LoadCount("C:\\WINDOWS\\TWAIN_32.DLL"), 1);
  EXPECT_EQ(LiveModuleCount(), 0);
  EXPECT_EQ(TWAIN_Session().managerLibrary, nullptr);
}

TEST(BindManagerTest, FallsBackToTheSystemDirectory) {
  fake::SourceManager dsm("C:\\WINDOWS\\system32\\twain_32.dll");
  EXPECT_TRUE(TWAIN_BindManager());
  EXPECT_EQ(LoadCount(dsm.path()), 1);

  TWAIN_ResetSession();
  // A Manager in the Windows directory that cannot be loaded (a 32-bit file
  // seen by a 64-bit program) does not hide the one in the system directory.
  platform::host::AddFile("C:\\WINDOWS\\TWAIN_32.DLL");
  EXPECT_TRUE(TWAIN_BindManager());
  EXPECT_EQ(LoadCount(dsm.path()), 2);
}

// Without TWAIN_32.DLL, the 2.x Manager in the system directory; a named
// file is the only one tried, present or not.
TEST(BindManagerTest, TwoXManagerComesLastAndANamedFileIsTheOnlyOneTried) {
  fake::SourceManager twainDsm("C:\\WINDOWS\\system32\\TWAINDSM.DLL");
  ASSERT_TRUE(TWAIN_BindManager());
  EXPECT_EQ(TWAIN_ManagerFile(), "C:\\WINDOWS\\system32\\TWAINDSM.DLL");
  EXPECT_EQ(TWAIN_ManagerAttempts().size(), 3u);
  TWAIN_UnbindManager();

  {
    fake::SourceManager oneX;  // TWAIN_32.DLL in the Windows directory comes first
    ASSERT_TRUE(TWAIN_BindManager());
    EXPECT_EQ(TWAIN_ManagerFile(), oneX.path());
    TWAIN_UnbindManager();

    fake::SourceManager named("D:\\mine\\dsm.dll");
    TWAIN_SetManagerPath("D:\\mine\\dsm.dll");
    ASSERT_TRUE(TWAIN_BindManager());
    EXPECT_EQ(TWAIN_ManagerFile(), "D:\\mine\\dsm.dll");
    EXPECT_EQ(LoadCount(oneX.path()), 1) << "the search is not made";
    TWAIN_UnbindManager();

    TWAIN_SetManagerPath("D:\\mine\\absent.dll");
    EXPECT_FALSE(TWAIN_BindManager());
    ASSERT_EQ(TWAIN_ManagerAttempts().size(), 1u);
    EXPECT_EQ(TWAIN_ManagerAttempts()[0].outcome, ManagerOutcome::kMissing);
    EXPECT_EQ(LoadCount(oneX.path()), 1) << "named: nothing else is loaded";
    EXPECT_EQ(TWAIN_State(), 1);
  }
  // A file that is there but no library, and one without DSM_Entry.
  platform::host::AddFile("D:\\mine\\text.dll");
  TWAIN_SetManagerPath("D:\\mine\\text.dll");
  EXPECT_FALSE(TWAIN_BindManager());
  EXPECT_EQ(TWAIN_ManagerAttempts()[0].outcome, ManagerOutcome::kLoadFailed);
  EXPECT_EQ(TWAIN_ManagerAttempts()[0].error, "error 193: not a valid application");
  platform::host::RegisterModule("D:\\mine\\other.dll", {{"Other", nullptr}});
  TWAIN_SetManagerPath("D:\\mine\\other.dll");
  EXPECT_FALSE(TWAIN_BindManager());
  EXPECT_EQ(TWAIN_ManagerAttempts()[0].outcome, ManagerOutcome::kNoEntry);
  EXPECT_EQ(LiveModuleCount(), 0);
  EXPECT_TRUE(TWAIN_ManagerFile().empty());
}

TEST(BindManagerTest, DirectoryEndingInAColonGetsNoBackslash) {
  char path[64];
  ASSERT_TRUE(TWAIN_JoinPath("C:", "TWAIN_32.DLL", path, sizeof(path)));
  EXPECT_STREQ(path, "C:TWAIN_32.DLL");
  ASSERT_TRUE(TWAIN_JoinPath("", "TWAIN_32.DLL", path, sizeof(path)));
  EXPECT_STREQ(path, "TWAIN_32.DLL");
  ASSERT_TRUE(TWAIN_JoinPath("D:\\WIN", "TWAIN_32.DLL", path, sizeof(path)));
  EXPECT_STREQ(path, "D:\\WIN\\TWAIN_32.DLL");
  EXPECT_FALSE(TWAIN_JoinPath("D:\\WIN", "TWAIN_32.DLL", path, 19)) << "one byte short";
  EXPECT_TRUE(TWAIN_JoinPath("D:\\WIN", "TWAIN_32.DLL", path, 20)) << "exactly room";

  platform::host::SetWindowsDirectory("Q:");
  platform::host::SetSystemDirectory("Q:\\none");
  fake::SourceManager dsm("Q:TWAIN_32.DLL");
  EXPECT_TRUE(TWAIN_BindManager());
}

TEST(BindManagerTest, WindowsDirectoryTooLongForItsBufferIsSkipped) {
  const std::string longDirectory = "C:\\" + std::string(130, 'd');
  platform::host::SetWindowsDirectory(longDirectory);
  fake::SourceManager tooLong(longDirectory + "\\TWAIN_32.DLL");
  EXPECT_FALSE(TWAIN_BindManager());
}

TEST_F(SessionTest, ManagerOpenInStateThreeSendsNothingButReplacesTheParent) {
  GoTo(3);
  platform::WindowHandle window = platform::host::CreateTestWindow();
  EXPECT_TRUE(TWAIN_ManagerOpen(window));
  EXPECT_TRUE(dsm.Calls().empty());
  EXPECT_EQ(TWAIN_Session().parentWindow, window);
  EXPECT_TRUE(TWAIN_SourceOpenDefault());
  EXPECT_EQ(TWAIN_Session().parentWindow, window);
}

TEST_F(SessionTest, OpenDefaultFromStateOneUsesTheProxyAsParent) {
  EXPECT_TRUE(TWAIN_SourceOpenDefault());
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_STREQ(TWAIN_SourceProductName(), "Flatbed");
  auto opendsm = dsm.CallsOf(DG_CONTROL, DAT_PARENT, MSG_OPENDSM);
  ASSERT_EQ(opendsm.size(), 1u);
  platform::WindowHandle parent;
  std::memcpy(&parent, opendsm[0].record.data(), sizeof(parent));
  EXPECT_EQ(platform::host::WindowTitle(parent), "Acquire Proxy");
  auto opends = dsm.CallsOf(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS);
  ASSERT_EQ(opends.size(), 1u);
  EXPECT_EQ(opends[0].record, std::vector<std::uint8_t>(sizeof(TW_IDENTITY), 0))
      << "the default Source is asked for with a cleared identity";
}

TEST_F(SessionTest, OpenDefaultAgainAsksWithAClearedIdentity) {
  GoTo(3);
  ASSERT_TRUE(TWAIN_SourceOpenDefault());
  ASSERT_TRUE(TWAIN_SourceClose());
  ASSERT_TRUE(TWAIN_SourceOpenDefault());
  const auto opens = dsm.CallsOf(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS);
  ASSERT_EQ(opens.size(), 2u);
  EXPECT_EQ(opens[1].record, std::vector<std::uint8_t>(sizeof(TW_IDENTITY), 0))
      << "the first Source's identity was sent again";
}

TEST_F(SessionTest, OpenDefaultAboveStateFourSendsNothing) {
  GoTo(4);
  EXPECT_TRUE(TWAIN_SourceOpenDefault());
  EXPECT_TRUE(dsm.Calls().empty()) << dsm.Transcript();
  Restart();
  GoTo(5);
  EXPECT_FALSE(TWAIN_SourceOpenDefault());
  EXPECT_TRUE(dsm.Calls().empty());
}

TEST_F(SessionTest, FailedOpenKeepsTheIdentityAndRecordsTheFailure) {
  GoTo(3);
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS).Return(TWRC_FAILURE).Condition(TWCC_NODS);
  TWAIN_Session().sourceIdentity.Id = 77;
  EXPECT_FALSE(TWAIN_SourceOpenDefault());
  EXPECT_EQ(TWAIN_State(), 3);
  EXPECT_EQ(TW_UINT32{TWAIN_Session().sourceIdentity.Id}, 77u);
  EXPECT_EQ(TWAIN_Session().firstFailure.kind, kFailureOpenSource);
  EXPECT_EQ(TWAIN_Session().firstFailure.conditionCode, TWCC_NODS);
}

TEST_F(SessionTest, EnableSendsShowUIFromTheSwitchAndTheParent) {
  GoTo(4);
  TWAIN_SetUIHidden(false);
  platform::WindowHandle window = platform::host::CreateTestWindow();
  EXPECT_TRUE(TWAIN_SourceEnable(window));
  auto calls = dsm.CallsOf(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS);
  ASSERT_EQ(calls.size(), 1u);
  TW_USERINTERFACE ui;
  std::memcpy(&ui, calls[0].record.data(), sizeof(ui));
  EXPECT_EQ(ui.ShowUI, TW_TRUE);
  EXPECT_EQ(ui.ModalUI, TW_FALSE);
  EXPECT_EQ(static_cast<void*>(ui.hParent), window);
  EXPECT_EQ(TWAIN_SetUIHidden(true), 1);
  EXPECT_EQ(TWAIN_UIHidden(), 1);

  ASSERT_TRUE(TWAIN_SourceDisable());
  EXPECT_TRUE(TWAIN_SourceEnable(window));
  calls = dsm.CallsOf(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS);
  ASSERT_EQ(calls.size(), 2u);
  std::memcpy(&ui, calls[1].record.data(), sizeof(ui));
  EXPECT_EQ(ui.ShowUI, TW_FALSE) << "the hidden switch did not reach the Source";
}

TEST_F(SessionTest, EnableBelowStateFourOpensTheDefaultSourceFirst) {
  GoTo(3);
  EXPECT_TRUE(TWAIN_SourceEnable(nullptr));
  EXPECT_EQ(Sent(), (Strings{"DG_CONTROL / DAT_IDENTITY / MSG_OPENDS",
                             "DG_CONTROL / DAT_USERINTERFACE / MSG_ENABLEDS"}));
  EXPECT_EQ(TWAIN_State(), 5);

  // A Source that cannot be opened is not enabled, and the failure is told.
  Restart();
  GoTo(3);
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS).Return(TWRC_FAILURE).Times(1);
  EXPECT_FALSE(TWAIN_SourceEnable(nullptr));
  EXPECT_EQ(Sent(), Strings{"DG_CONTROL / DAT_IDENTITY / MSG_OPENDS"});
  EXPECT_EQ(TWAIN_State(), 3);

  // Nor when the Manager itself will not open: no Source is asked for.
  Restart();
  GoTo(2);
  dsm.On(DG_CONTROL, DAT_PARENT, MSG_OPENDSM).Return(TWRC_FAILURE).Times(1);
  EXPECT_FALSE(TWAIN_SourceOpenDefault());
  EXPECT_EQ(Sent(), Strings{"DG_CONTROL / DAT_PARENT / MSG_OPENDSM"});
  EXPECT_EQ(TWAIN_State(), 2);

  // Above state 4 the triplet is still sent: the Source answers for itself.
  Restart();
  GoTo(5);
  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS).Return(TWRC_FAILURE);
  EXPECT_TRUE(TWAIN_SourceEnable(nullptr));
  EXPECT_EQ(Sent(), (Strings{"DG_CONTROL / DAT_USERINTERFACE / MSG_ENABLEDS"}));
}

TEST_F(SessionTest, EnableRefusedStaysInFourAndCheckStatusCountsAsEnabled) {
  GoTo(4);
  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS)
      .Return(TWRC_FAILURE)
      .Condition(TWCC_SEQERROR)
      .Times(1);
  EXPECT_FALSE(TWAIN_SourceEnable(nullptr));
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(TWAIN_Session().firstFailure.kind, kFailureEnableSource);
  EXPECT_EQ(TWAIN_Session().firstFailure.resultCode, TWRC_FAILURE);
  EXPECT_EQ(TWAIN_Session().firstFailure.conditionCode, TWCC_SEQERROR);

  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS).Return(TWRC_CHECKSTATUS).Times(1);
  EXPECT_TRUE(TWAIN_SourceEnable(nullptr));
  EXPECT_EQ(TWAIN_State(), 5);
}

TEST_F(SessionTest, DisableDrainsOnlyWhenTheSourceAgreed) {
  GoTo(5);
  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS).Return(TWRC_FAILURE).Times(1);
  platform::host::PostMessage({nullptr, 0x0113});
  EXPECT_FALSE(TWAIN_SourceDisable());
  EXPECT_EQ(platform::host::QueuedMessageCount(), 1u);
  EXPECT_TRUE(TWAIN_SourceDisable());
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(platform::host::QueuedMessageCount(), 0u);
  EXPECT_EQ(platform::host::TakeDispatched().size(), 1u);
}

TEST_F(SessionTest, CloseAndUnbindWhileEnabledSendNothing) {
  GoTo(5);
  platform::host::PostMessage({nullptr, 0x0113});
  EXPECT_FALSE(TWAIN_SourceClose());
  EXPECT_FALSE(TWAIN_ManagerClose(nullptr));
  EXPECT_EQ(platform::host::QueuedMessageCount(), 0u) << "ManagerClose drains first";
  EXPECT_FALSE(TWAIN_UnbindManager());
  EXPECT_EQ(TWAIN_State(), 5);
  EXPECT_EQ(Sent(), Strings{"DG_CONTROL / DAT_EVENT / MSG_PROCESSEVENT"})
      << "only the drained message was offered to the Source";
  EXPECT_EQ(LiveModuleCount(), 1);
}

TEST_F(SessionTest, UnbindFromStateFourClosesEverything) {
  GoTo(4);
  EXPECT_TRUE(TWAIN_UnbindManager());
  EXPECT_EQ(Sent(), (Strings{"DG_CONTROL / DAT_IDENTITY / MSG_CLOSEDS",
                             "DG_CONTROL / DAT_PARENT / MSG_CLOSEDSM"}));
  EXPECT_EQ(LiveModuleCount(), 0);
  EXPECT_EQ(TWAIN_Session().proxyWindow, nullptr);
}

TEST_F(SessionTest, EndTransferFollowsThePendingCount) {
  struct Case {
    TW_UINT16 pending;
    int state;
  };
  for (Case c : {Case{0, 5}, Case{3, 6}, Case{0xFFFF, 6}}) {
    SCOPED_TRACE(c.pending);
    Restart();
    GoTo(7);
    dsm.SetPendingTransfers(c.pending);
    EXPECT_EQ(TWAIN_XferEnd(), true);
    EXPECT_EQ(TWAIN_State(), c.state);
  }
  // A Source that refuses to end the transfer keeps the session in state 7.
  Restart();
  GoTo(7);
  dsm.On(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER).Return(TWRC_FAILURE);
  EXPECT_FALSE(TWAIN_XferEnd());
  EXPECT_EQ(TWAIN_State(), 7);
  // Outside state 7 nothing is sent.
  Restart();
  GoTo(6);
  EXPECT_TRUE(TWAIN_XferEnd());
  EXPECT_TRUE(dsm.Calls().empty());
}

TEST_F(SessionTest, AbortAllResetsTheRestAndDrains) {
  GoTo(7);
  dsm.SetPendingTransfers(0xFFFF);
  platform::host::PostMessage({nullptr, 0x0113});
  EXPECT_TRUE(TWAIN_XferAbortAll());
  EXPECT_EQ(TWAIN_State(), 5);
  EXPECT_EQ(Sent(), (Strings{"DG_CONTROL / DAT_PENDINGXFERS / MSG_ENDXFER",
                             "DG_CONTROL / DAT_PENDINGXFERS / MSG_RESET",
                             "DG_CONTROL / DAT_EVENT / MSG_PROCESSEVENT"}));
}

TEST_F(SessionTest, AbortAllDrainsEvenWhenTheResetFails) {
  GoTo(6);
  dsm.On(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET).Return(TWRC_FAILURE);
  platform::host::PostMessage({nullptr, 0x0113});
  EXPECT_FALSE(TWAIN_XferAbortAll());
  EXPECT_EQ(TWAIN_State(), 6);
  EXPECT_EQ(platform::host::QueuedMessageCount(), 0u);
}

TEST_F(SessionTest, SourceIdentityIsCopiedWholeAndItsNameAlwaysTerminated) {
  TW_IDENTITY& listed = dsm.AddSource("");
  std::memset(listed.ProductName, 'Z', sizeof(listed.ProductName));
  dsm.SetDefaultSource(2);
  GoTo(4);
  EXPECT_EQ(std::string(TWAIN_SourceProductName()), std::string(34, 'Z'));
  EXPECT_EQ(TWAIN_CopySourceIdentity(nullptr), 156);
  TW_IDENTITY copy{};
  EXPECT_EQ(TWAIN_CopySourceIdentity(&copy), 156);
  EXPECT_EQ(std::memcmp(&copy, &TWAIN_Session().sourceIdentity, 156), 0);
  EXPECT_EQ(TW_UINT32{copy.Id}, TW_UINT32{TWAIN_Session().sourceIdentity.Id});
  EXPECT_EQ(TWAIN_LibraryVersion(), 267);
}

}  // namespace
