#include "session/triplet_calls.h"

#include <cstring>

#include "platform/debug_output.h"
#include "session_test_support.h"

namespace {

TEST(TripletCallsTest, NothingIsSentWithoutAManager) {
  TW_STATUS status{};
  EXPECT_FALSE(TWAIN_DS(DG_CONTROL, DAT_STATUS, MSG_GET, &status));
  EXPECT_EQ(TWAIN_GetResultCode(), TWRC_FAILURE);
  TWAIN_Session().lastResultCode = TWRC_SUCCESS;
  EXPECT_FALSE(TWAIN_ManagerCall(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr));
  EXPECT_EQ(TWAIN_GetResultCode(), TWRC_FAILURE);
  EXPECT_EQ(TWAIN_State(), 1);
}

// One row of the state table a Source triplet follows.
struct Outcome {
  const char* name;
  int from;
  TW_UINT32 dg;
  TW_UINT16 dat;
  TW_UINT16 msg;
  TW_UINT16 rc;
  int to;
  bool result;
  TW_UINT16 twMessage = MSG_NULL;  // DAT_EVENT: what the Source puts in the record
  TW_UINT16 count = 0;             // DAT_PENDINGXFERS: the Count it reports
};

class SourceOutcomeTest : public SessionTest, public testing::WithParamInterface<Outcome> {};

TEST_P(SourceOutcomeTest, MovesTheStateAndGivesTheResult) {
  const Outcome& o = GetParam();
  GoTo(o.from);
  dsm.On(o.dg, o.dat, o.msg).Return(o.rc).Fill([&o](TW_MEMREF data) {
    if (o.dat == DAT_EVENT) static_cast<TW_EVENT*>(data)->TWMessage = o.twMessage;
    if (o.dat == DAT_PENDINGXFERS) static_cast<TW_PENDINGXFERS*>(data)->Count = o.count;
  });
  union {
    TW_EVENT event;
    TW_PENDINGXFERS pending;
    TW_IMAGEMEMXFER memxfer;
    TW_SETUPMEMXFER setup;
    TW_USERINTERFACE ui;
    TW_HANDLE image;
    TW_CAPABILITY cap;
  } record{};
  platform::Message message;
  if (o.dat == DAT_EVENT) record.event.pEvent = &message;
  EXPECT_EQ(TWAIN_DS(o.dg, o.dat, o.msg, &record), o.result);
  EXPECT_EQ(TWAIN_State(), o.to);
  EXPECT_EQ(TWAIN_GetResultCode(), o.rc);
}

INSTANTIATE_TEST_SUITE_P(
    StateTable, SourceOutcomeTest,
    testing::Values(
        Outcome{"XferReadyClaimed", 5, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, TWRC_DSEVENT, 6,
                true, MSG_XFERREADY},
        Outcome{"XferReadyNotClaimed", 5, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, TWRC_NOTDSEVENT,
                6, false, MSG_XFERREADY},
        Outcome{"OtherEvent", 5, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, TWRC_DSEVENT, 5, true,
                MSG_NULL},
        Outcome{"EndXferLast", 7, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, TWRC_SUCCESS, 5, true,
                MSG_NULL, 0},
        Outcome{"EndXferMore", 7, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, TWRC_SUCCESS, 6, true,
                MSG_NULL, 2},
        Outcome{"EndXferRefused", 7, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, TWRC_FAILURE, 7,
                false},
        Outcome{"ResetPending", 6, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, TWRC_SUCCESS, 5, true},
        Outcome{"ResetRefused", 6, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, TWRC_FAILURE, 6, false},
        Outcome{"SetupMemory", 6, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, TWRC_SUCCESS, 6, true},
        Outcome{"SetupMemoryRefused", 6, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, TWRC_FAILURE, 6,
                false},
        Outcome{"EnableChecked", 4, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWRC_CHECKSTATUS,
                5, true},
        Outcome{"EnableCancelled", 4, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWRC_CANCEL, 5,
                true},
        Outcome{"EnableFailed", 4, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWRC_FAILURE, 4,
                false},
        Outcome{"Disable", 5, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, TWRC_SUCCESS, 4, true},
        Outcome{"DisableRefused", 5, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, TWRC_FAILURE, 5,
                false},
        Outcome{"FirstBufferFails", 6, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWRC_FAILURE, 6, false},
        Outcome{"BufferCancelled", 6, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWRC_CANCEL, 6, false},
        Outcome{"BufferDelivered", 6, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWRC_SUCCESS, 7, true},
        Outcome{"LastBuffer", 6, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWRC_XFERDONE, 7, true},
        Outcome{"NativeDone", 6, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWRC_XFERDONE, 7, true},
        Outcome{"NativeCancelled", 6, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWRC_CANCEL, 7,
                false},
        Outcome{"NativeFailed", 6, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWRC_FAILURE, 6, false},
        Outcome{"NativeSuccessIsNotDone", 6, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWRC_SUCCESS,
                6, false},
        Outcome{"FileDone", 6, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, TWRC_XFERDONE, 7, true},
        Outcome{"FileCancelled", 6, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, TWRC_CANCEL, 7, false},
        Outcome{"FileFailed", 6, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, TWRC_FAILURE, 6, false},
        Outcome{"CapabilityCheckStatus", 4, DG_CONTROL, DAT_CAPABILITY, MSG_SET, TWRC_CHECKSTATUS,
                4, false},
        Outcome{"CapabilityInStateSix", 6, DG_CONTROL, DAT_CAPABILITY, MSG_GET, TWRC_SUCCESS, 6,
                true}),
    [](const testing::TestParamInfo<Outcome>& info) { return std::string(info.param.name); });

TEST_F(SessionTest, MemoryBufferFailureAfterAGoodBufferGoesToSeven) {
  GoTo(6);
  dsm.On(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET).Return(TWRC_SUCCESS);
  TW_SETUPMEMXFER setup{};
  EXPECT_TRUE(TWAIN_DS(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup));
  // Rules answer newest first: one good buffer, then failures.
  dsm.On(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET).Return(TWRC_FAILURE);
  dsm.On(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET).Return(TWRC_SUCCESS).Times(1);
  TW_IMAGEMEMXFER buffer{};
  EXPECT_TRUE(TWAIN_DS(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &buffer));
  EXPECT_EQ(TWAIN_Session().memoryBufferCount, 1);
  TWAIN_SetState(6);
  EXPECT_FALSE(TWAIN_DS(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &buffer));
  EXPECT_EQ(TWAIN_State(), 7);
  // A new setup starts the count again, so the next image's first failure stays in 6.
  TWAIN_SetState(6);
  EXPECT_TRUE(TWAIN_DS(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup));
  EXPECT_FALSE(TWAIN_DS(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &buffer));
  EXPECT_EQ(TWAIN_State(), 6);
}

TEST_F(SessionTest, MemoryBufferRequestClearsWhatTheSourceFillsAndKeepsTheDescriptor) {
  GoTo(6);
  TW_IMAGEMEMXFER buffer;
  std::memset(&buffer, 0x5A, sizeof(buffer));
  std::uint8_t memory[64];
  buffer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
  buffer.Memory.Length = sizeof(memory);
  buffer.Memory.TheMem = memory;
  TWAIN_DS(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &buffer);
  auto calls = dsm.CallsOf(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET);
  ASSERT_EQ(calls.size(), 1u);
  TW_IMAGEMEMXFER seen;
  std::memcpy(&seen, calls[0].record.data(), sizeof(seen));
  EXPECT_EQ(seen.Compression, 0);
  EXPECT_EQ(TW_UINT32{seen.BytesPerRow} | seen.Columns | seen.Rows | seen.XOffset | seen.YOffset |
                seen.BytesWritten,
            0u);
  EXPECT_EQ(TW_UINT32{seen.Memory.Flags}, 9u);
  EXPECT_EQ(TW_UINT32{seen.Memory.Length}, sizeof(memory));
  EXPECT_EQ(static_cast<void*>(seen.Memory.TheMem), static_cast<void*>(memory));
}

TEST_F(SessionTest, NestedCallIsAnnouncedAndStillMade) {
  GoTo(4);
  TW_STATUS inner{};
  bool innerResult = false;
  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS).Run([&](const fake::Call&, TW_MEMREF) {
    // The Source pumps messages; a window procedure asks the Source something.
    EXPECT_EQ(TWAIN_Session().callNesting, 1);
    innerResult = TWAIN_DS(DG_CONTROL, DAT_STATUS, MSG_GET, &inner);
    return TWRC_SUCCESS;
  });
  EXPECT_TRUE(TWAIN_SourceEnable(nullptr));
  EXPECT_TRUE(innerResult);
  EXPECT_EQ(platform::TakeCapturedDebugOutput(), " - blocked\n");
  EXPECT_EQ(TWAIN_Session().callNesting, 0);
  EXPECT_EQ(dsm.CallsOf(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS).at(0).depth, 1);
  EXPECT_EQ(dsm.CallsOf(DG_CONTROL, DAT_STATUS, MSG_GET).at(0).depth, 2);
  // A call from outside is not announced.
  TWAIN_DS(DG_CONTROL, DAT_STATUS, MSG_GET, &inner);
  EXPECT_EQ(platform::TakeCapturedDebugOutput(), "");
}

TEST_F(SessionTest, ManagerCallsMoveTheStateOnlyOnSuccess) {
  ASSERT_TRUE(TWAIN_BindManager());
  platform::WindowHandle parent = nullptr;
  dsm.On(DG_CONTROL, DAT_PARENT, MSG_OPENDSM).Return(TWRC_FAILURE).Times(1);
  EXPECT_FALSE(TWAIN_ManagerCall(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent));
  EXPECT_EQ(TWAIN_State(), 2);
  EXPECT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent));
  EXPECT_EQ(TWAIN_State(), 3);

  TW_IDENTITY camera{};
  std::strcpy(camera.ProductName, "Camera");
  EXPECT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &camera));
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_STREQ(TWAIN_SourceProductName(), "Camera");
  EXPECT_EQ(std::memcmp(&TWAIN_Session().sourceIdentity, &camera, sizeof(camera)), 0)
      << "the identity the Manager returned, Id included, is the open Source's";

  TW_IDENTITY listed{};
  EXPECT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &listed));
  EXPECT_EQ(TWAIN_State(), 4) << "listing moves nothing";
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS).Return(TWRC_FAILURE).Times(1);
  EXPECT_FALSE(TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &camera));
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &camera));
  EXPECT_EQ(TWAIN_State(), 3);
  dsm.On(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM).Return(TWRC_FAILURE).Times(1);
  EXPECT_FALSE(TWAIN_ManagerCall(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent));
  EXPECT_EQ(TWAIN_State(), 3);
  EXPECT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent));
  EXPECT_EQ(TWAIN_State(), 2);
  for (const fake::Call& call : dsm.Calls()) EXPECT_TRUE(call.toManager) << call.Text();
}

TEST_F(SessionTest, ConditionCodeAsksWhoeverAnswersInTheStateAndKeepsTheResultCode) {
  ASSERT_TRUE(TWAIN_BindManager());
  EXPECT_EQ(TWAIN_GetConditionCode(), TWCC_BUMMER) << "nobody to ask in state 2";
  EXPECT_TRUE(dsm.Calls().empty());

  TWAIN_ManagerOpen(nullptr);
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT).Return(TWRC_FAILURE).Condition(TWCC_NODS);
  TW_IDENTITY identity{};
  TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &identity);
  EXPECT_EQ(TWAIN_GetConditionCode(), TWCC_NODS);
  EXPECT_TRUE(dsm.Calls().back().toManager);
  EXPECT_EQ(TWAIN_GetResultCode(), TWRC_FAILURE);

  TWAIN_SourceOpenDefault();
  dsm.OnCap(ICAP_UNITS, MSG_SET).Return(TWRC_CHECKSTATUS).Condition(TWCC_BADVALUE);
  TW_CAPABILITY cap{ICAP_UNITS, TWON_ONEVALUE, nullptr};
  TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
  EXPECT_EQ(TWAIN_GetConditionCode(), TWCC_BADVALUE);
  EXPECT_FALSE(dsm.Calls().back().toManager);
  EXPECT_EQ(TWAIN_GetResultCode(), TWRC_CHECKSTATUS) << "asking does not change the result code";
}

TEST_F(SessionTest, FirstFailureIsKeptForTheLifeOfTheProcess) {
  GoTo(4);
  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS).Return(TWRC_FAILURE).Condition(TWCC_BUMMER);
  TWAIN_SourceEnable(nullptr);
  TWAIN_SourceClose();
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS).Return(TWRC_FAILURE).Condition(TWCC_NODS);
  TWAIN_SourceOpenDefault();
  const FirstFailure& failure = TWAIN_Session().firstFailure;
  EXPECT_EQ(failure.kind, kFailureEnableSource);
  EXPECT_EQ(failure.resultCode, TWRC_FAILURE);
  EXPECT_EQ(failure.conditionCode, TWCC_BUMMER);
}

TEST_F(SessionTest, CancelledTransferFailureRecordsNoCodes) {
  GoTo(6);
  TWAIN_Session().lastResultCode = TWRC_CANCEL;
  TWAIN_RecordFailure(kFailureTransferCancelled);
  EXPECT_EQ(TWAIN_Session().firstFailure.kind, kFailureTransferCancelled);
  EXPECT_EQ(TWAIN_Session().firstFailure.resultCode, 0);
  EXPECT_TRUE(dsm.Calls().empty()) << "no condition code is asked for";
}

TEST(ErrorBoxTest, ShowsTheTextUnderTheLibraryCaption) {
  TWAIN_ErrorBox("Ambit: something");
  auto boxes = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "TWAIN Error");
  EXPECT_EQ(boxes[0].text, "Ambit: something");
}

}  // namespace
