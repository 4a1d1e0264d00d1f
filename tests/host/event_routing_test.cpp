#include "session/event_routing.h"

#include "platform/debug_output.h"
#include "platform/memory.h"
#include "session_test_support.h"

namespace {

using platform::host::PostMessage;
using platform::host::TakeDispatched;

constexpr std::uint32_t kTimer = 0x0113;

std::vector<std::string> BoxTexts() {
  std::vector<std::string> texts;
  for (auto& box : platform::TakeCapturedMessageBoxes()) texts.push_back(box.text);
  return texts;
}

TEST(ParentWindowTest, ValidWindowIsUsedAsItIs) {
  platform::WindowHandle window = platform::host::CreateTestWindow();
  EXPECT_EQ(TWAIN_ParentWindow(window), window);
  EXPECT_EQ(TWAIN_Session().proxyWindow, nullptr);
}

TEST(ParentWindowTest, NullTwiceCreatesOneHiddenProxy) {
  platform::WindowHandle first = TWAIN_ParentWindow(nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(TWAIN_ParentWindow(nullptr), first);
  EXPECT_EQ(platform::host::LiveWindowCount(), 1);
  EXPECT_EQ(platform::host::WindowTitle(first), "Acquire Proxy");
  EXPECT_TRUE(BoxTexts().empty()) << "a null handle silently uses the proxy";
}

TEST(ParentWindowTest, InvalidHandleIsReportedAndReplacedByTheProxy) {
  int notAWindow;
  platform::WindowHandle parent = TWAIN_ParentWindow(&notAWindow);
  EXPECT_EQ(parent, TWAIN_Session().proxyWindow);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Ambit: window handle is invalid"});
}

TEST(ParentWindowTest, ProxyThatCannotBeMadeIsReportedAndLeftNull) {
  platform::host::FailNextWindowCreation();
  EXPECT_EQ(TWAIN_ParentWindow(nullptr), nullptr);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Ambit: Unable to create proxy window"});
  EXPECT_NE(TWAIN_ParentWindow(nullptr), nullptr) << "a later call tries again";
}

TEST_F(SessionTest, FilterOffersNothingBelowStateFive) {
  GoTo(4);
  EXPECT_FALSE(TWAIN_FilterMessage(platform::Message{nullptr, kTimer}));
  EXPECT_TRUE(dsm.Calls().empty());
}

TEST_F(SessionTest, FilterPassesTheMessageItselfToTheSource) {
  GoTo(5);
  platform::Message message{nullptr, kTimer, 12, 34};
  dsm.On(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT).Run([&](const fake::Call&, TW_MEMREF data) {
    auto* event = static_cast<TW_EVENT*>(data);
    EXPECT_EQ(event->pEvent, static_cast<void*>(&message));
    EXPECT_EQ(event->TWMessage, MSG_NULL);
    return TWRC_DSEVENT;
  });
  EXPECT_TRUE(TWAIN_FilterMessage(message));
}

TEST_F(SessionTest, XferReadyMetByTheFilterRunsTheLibrarysOwnTransfer) {
  GoTo(5);
  dsm.QueueEvent(MSG_XFERREADY);
  dsm.SetPendingTransfers(1);
  TW_HANDLE image = platform::MemAlloc(64);
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_XFERDONE).Fill([&](TW_MEMREF data) {
    *static_cast<TW_HANDLE*>(data) = image;
  });
  EXPECT_TRUE(TWAIN_FilterMessage(platform::Message{nullptr, kTimer}));
  EXPECT_EQ(Sent(), (std::vector<std::string>{"DG_CONTROL / DAT_EVENT / MSG_PROCESSEVENT",
                                              "DG_IMAGE / DAT_IMAGENATIVEXFER / MSG_GET",
                                              "DG_CONTROL / DAT_PENDINGXFERS / MSG_ENDXFER"}));
  EXPECT_EQ(TWAIN_State(), 5);
  EXPECT_EQ(TWAIN_Session().ownXferResult, image);

  // A second image replaces the first, which nobody else holds.
  TW_HANDLE second = platform::MemAlloc(64);
  image = second;
  TWAIN_SetState(6);
  Xfer_OnReady();
  EXPECT_EQ(TWAIN_Session().ownXferResult, second);
  EXPECT_EQ(platform::host::GetMemoryStats().liveBlocks, 1);

  // An HBITMAP is kept as the DIB read from it, never as a block.
  TW_HANDLE dib = platform::MemAlloc(64);
  image = platform::host::MakeGdiBitmap(dib);
  TWAIN_SetState(6);
  Xfer_OnReady();
  EXPECT_EQ(TWAIN_Session().ownXferResult, dib);
  EXPECT_EQ(platform::host::LiveGdiBitmapCount(), 0);

  // The announcement counts even when the Source does not claim the message.
  TWAIN_SetState(5);
  dsm.ClearCalls();
  dsm.On(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT).Run([](const fake::Call&, TW_MEMREF data) {
    static_cast<TW_EVENT*>(data)->TWMessage = MSG_XFERREADY;
    return TWRC_NOTDSEVENT;
  });
  EXPECT_FALSE(TWAIN_FilterMessage(platform::Message{nullptr, kTimer}));
  EXPECT_EQ(dsm.Count(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET), 1u) << dsm.Transcript();
}

TEST_F(SessionTest, LibraryTransferFailuresAreRecordedByKind) {
  GoTo(6);
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_CANCEL).Times(1);
  Xfer_OnReady();
  EXPECT_EQ(TWAIN_Session().firstFailure.kind, kFailureTransferCancelled);
  EXPECT_EQ(TWAIN_Session().ownXferResult, nullptr);
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER), 1u)
      << "a cancelled transfer still reaches state 7 and is ended";

  TWAIN_Session().firstFailure = {};
  TWAIN_SetState(6);
  dsm.ClearCalls();
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_FAILURE).Condition(TWCC_LOWMEMORY);
  Xfer_OnReady();
  EXPECT_EQ(TWAIN_Session().firstFailure.kind, kFailureImageTransfer);
  EXPECT_EQ(TWAIN_Session().firstFailure.conditionCode, TWCC_LOWMEMORY);
  EXPECT_EQ(TWAIN_State(), 6);
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER), 0u);
}

TEST_F(SessionTest, CloseRequestMetByTheFilterDisablesTheSource) {
  GoTo(5);
  dsm.QueueEvent(MSG_CLOSEDSREQ);
  EXPECT_TRUE(TWAIN_FilterMessage(platform::Message{nullptr, kTimer}));
  EXPECT_EQ(TWAIN_State(), 4);
}

TEST_F(SessionTest, DrainDispatchesWhatTheSourceDoesNotClaim) {
  GoTo(5);
  PostMessage({nullptr, kTimer, 1});
  PostMessage({nullptr, kTimer, 2});
  dsm.On(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT).Return(TWRC_DSEVENT).Times(1);
  TWAIN_DrainMessages();
  auto dispatched = TakeDispatched();
  ASSERT_EQ(dispatched.size(), 1u);
  EXPECT_EQ(dispatched[0].wParam, 2u);
}

TEST_F(SessionTest, QuitMetWhileDrainingIsPostedAgainAndStopsTheDrain) {
  GoTo(4);
  PostMessage({nullptr, kTimer, 1});
  PostMessage({nullptr, platform::kQuitMessage, 3});
  PostMessage({nullptr, kTimer, 2});
  TWAIN_DrainMessages();
  EXPECT_EQ(TakeDispatched().size(), 1u);
  EXPECT_EQ(platform::host::QuitPostCount(), 1);
  platform::Message left;
  ASSERT_TRUE(platform::PeekRemoveMessage(left));
  EXPECT_EQ(left.wParam, 2u) << "messages after the quit stay queued";
  ASSERT_TRUE(platform::PeekRemoveMessage(left));
  EXPECT_EQ(left.message, platform::kQuitMessage);
  EXPECT_EQ(left.wParam, 3u) << "the quit keeps its exit code";
}

TEST_F(SessionTest, XferReadyMetWhileDrainingAfterAnAbortIsTransferredAndEnded) {
  GoTo(6);
  dsm.SetPendingTransfers(2);
  // The Source announces its next image while the abort drains the queue.
  dsm.On(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET).Fill([this](TW_MEMREF) {
    dsm.SetPendingTransfers(0);
    dsm.QueueEvent(MSG_XFERREADY);
    PostMessage({nullptr, kTimer});
  });
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_XFERDONE);
  EXPECT_TRUE(TWAIN_XferAbortAll());
  EXPECT_EQ(dsm.Count(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET), 1u) << dsm.Transcript();
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER), 1u);
  EXPECT_TRUE(TakeDispatched().empty()) << "the probe's window never saw it";
}

TEST_F(SessionTest, WindowCodeCallingBackWhileTheSourcePumpsIsNested) {
  GoTo(4);
  // The Source pumps messages inside MSG_ENABLEDS; the window procedure that
  // receives one asks for the condition code.
  PostMessage({nullptr, kTimer});
  platform::host::SetDispatchHandler([](const platform::Message&) { TWAIN_GetConditionCode(); });
  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS).Run([](const fake::Call&, TW_MEMREF) {
    fake::SourceManager::PumpMessages();
    return TWRC_SUCCESS;
  });
  EXPECT_TRUE(TWAIN_SourceEnable(nullptr));
  EXPECT_EQ(dsm.CallsOf(DG_CONTROL, DAT_STATUS, MSG_GET).at(0).depth, 2);
  EXPECT_EQ(platform::TakeCapturedDebugOutput(), " - blocked\n");
}

}  // namespace
