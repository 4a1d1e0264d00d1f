// The 2.x application paths against the fake Manager's 2.x mode: the entry
// point's memory functions carry every block, events come by callback
// through our own queue, and every refusal falls back to the 1.x paths.
#include "session/twain2.h"

#include <cstddef>
#include <cstring>

#include "caps/capability_calls.h"
#include "caps/container.h"
#include "pages/manager_notes.h"
#include "platform/memory.h"
#include "session_test_support.h"

namespace {

using platform::host::GetMemoryStats;

class Twain2Test : public SessionTest {
 protected:
  Twain2Test() {
    dsm.SetTwain2(true);
    TWAIN_SetTwain2(true);
  }
  // A third Source, the default, that says it is a 2.x Source.
  void AddDs2Default() {
    dsm.AddSource("Scanner 2").SupportedGroups |= DF_DS2;
    dsm.SetDefaultSource(2);
  }
  // Takes every queued message through the library's filter, as a drain does.
  int TakeQueued() {
    int taken = 0;
    platform::Message message;
    while (platform::PeekRemoveMessage(message)) {
      taken += TWAIN_TakeCallbackEvent(message).kind == CallbackEventKind::kAccepted;
    }
    return taken;
  }
  const fake::SourceManager::MemoryCalls& Calls() { return fake::SourceManager::memoryCalls(); }
};

TEST_F(Twain2Test, IdentityCarriesAppTwoAndProtocolTwoThroughEveryIdentityChange) {
  TWAIN_SetAppIdentity(1, 26, TWLG_USA, TWCY_USA, "1.26", "Kandrith", "Ambit Tools", "Probe");
  GoTo(3);
  const std::vector<fake::Call> opens = [&] {
    TWAIN_ManagerClose(nullptr);
    dsm.ClearCalls();
    TWAIN_ManagerOpen(nullptr);
    return dsm.CallsOf(DG_CONTROL, DAT_PARENT, MSG_OPENDSM);
  }();
  ASSERT_EQ(opens.size(), 1u);
  const TW_IDENTITY& sent = opens[0].origin;
  EXPECT_EQ(sent.ProtocolMajor, 2);
  EXPECT_EQ(sent.SupportedGroups, DG_CONTROL | DG_IMAGE | DF_APP2)
      << "DF_DSM2 of the earlier answer is not sent back";
  TWAIN_SetTwain2(false);
  EXPECT_EQ(TWAIN_Session().appIdentity.ProtocolMajor, 1);
  EXPECT_EQ(TWAIN_Session().appIdentity.SupportedGroups & DF_APP2, 0u);
}

TEST_F(Twain2Test, EntryPointMemoryCarriesEveryBlockUntilTheManagerCloses) {
  GoTo(3);
  ASSERT_EQ(TWAIN_Twain2Record().entryPoint, EntryPointOutcome::kGranted);
  EXPECT_EQ(EntryPointNoteText(),
            "DAT_ENTRYPOINT granted: blocks go through the Source Manager's memory functions");
  ASSERT_TRUE(TWAIN_SourceOpenDefault());

  // A set sends our block, a get receives the Source's; an image arrives
  // in the library's own transfer. Every block, lock and free of the
  // system's went through the Manager's functions.
  const auto before = GetMemoryStats();
  const auto calls = Calls();
  dsm.OnCap(ICAP_UNITS, MSG_SET).Return(TWRC_SUCCESS);
  ASSERT_TRUE(TWAIN_SetCapOneValue(ICAP_UNITS, TWTY_UINT16, 1));
  dsm.OnCap(ICAP_UNITS, MSG_GET).ReplyContainer(TWON_ONEVALUE, {4, 0, 1, 0, 0, 0});
  ContainerHandle* got = TWAIN_Get(ICAP_UNITS);
  ASSERT_NE(got, nullptr);
  CONTAINER_Free(got);
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_XFERDONE).Fill([](TW_MEMREF data) {
    *static_cast<TW_HANDLE*>(data) = platform::MemAlloc(64);
  });
  TWAIN_SourceEnable(nullptr);
  dsm.QueueEvent(MSG_XFERREADY);
  platform::host::PostMessage({});
  TWAIN_DrainMessages();
  ASSERT_NE(TWAIN_Session().ownXferResult, nullptr) << dsm.Transcript();
  platform::MemFree(TWAIN_Session().ownXferResult);
  TWAIN_Session().ownXferResult = nullptr;

  const auto after = GetMemoryStats();
  EXPECT_GE(after.allocations - before.allocations, 3);
  EXPECT_EQ(Calls().allocations - calls.allocations, after.allocations - before.allocations);
  EXPECT_EQ(Calls().frees - calls.frees, after.frees - before.frees);
  EXPECT_EQ(Calls().locks - calls.locks, Calls().unlocks - calls.unlocks);
  EXPECT_GT(Calls().locks - calls.locks, 0);
  EXPECT_EQ(after.liveBlocks, before.liveBlocks);
  EXPECT_EQ(after.outstandingLocks, 0);

  // Closed: the Manager's functions are no longer called.
  TWAIN_SourceDisable();
  ASSERT_TRUE(TWAIN_ManagerClose(nullptr));
  EXPECT_FALSE(platform::UsingMemoryFunctions());
  const int allocations = Calls().allocations;
  platform::MemFree(platform::MemAlloc(8));
  EXPECT_EQ(Calls().allocations, allocations);
}

// A full entry point whose functions are all set but the one at this offset.
std::function<void(fake::SourceManager&)> WithoutOne(std::size_t missing) {
  return [missing](fake::SourceManager& m) {
    m.On(DG_CONTROL, DAT_ENTRYPOINT, MSG_GET).Fill([missing](TW_MEMREF data) {
      auto* entry = static_cast<TW_ENTRYPOINT*>(data);
      std::memset(entry, 0x11, sizeof(*entry));
      entry->Size = sizeof(*entry);
      std::memset(reinterpret_cast<char*>(entry) + missing, 0, sizeof(void*));
    });
  };
}

TEST_F(Twain2Test, RefusedShortOrEmptyEntryPointsStayOnTheSystemsMemory) {
  struct Case {
    const char* name;
    std::function<void(fake::SourceManager&)> arrange;
    EntryPointOutcome outcome;
    std::string note;
  };
  const std::string kFullSizeUnusable =
      "DAT_ENTRYPOINT answered Size " + std::to_string(sizeof(TW_ENTRYPOINT)) +
      " without all four memory functions: staying on the 1.x paths";
  const Case cases[] = {
      {"refused",
       [](fake::SourceManager& m) {
         m.On(DG_CONTROL, DAT_ENTRYPOINT, MSG_GET).Return(TWRC_FAILURE).Condition(TWCC_SEQERROR);
       },
       EntryPointOutcome::kRefused,
       "DG_CONTROL / DAT_ENTRYPOINT / MSG_GET -> TWRC_FAILURE, TWCC_SEQERROR: staying on the "
       "1.x paths"},
      // Size covers DSM_Entry and DSM_MemAllocate only: the rest is not the Manager's answer.
      {"short",
       [](fake::SourceManager& m) {
         m.On(DG_CONTROL, DAT_ENTRYPOINT, MSG_GET).Fill([](TW_MEMREF data) {
           auto* entry = static_cast<TW_ENTRYPOINT*>(data);
           std::memset(entry, 0x11, sizeof(*entry));
           entry->Size = 4 + 2 * sizeof(void*);
         });
       },
       EntryPointOutcome::kUnusable,
       "DAT_ENTRYPOINT answered Size " + std::to_string(4 + 2 * sizeof(void*)) +
           " without all four memory functions: staying on the 1.x paths"},
      {"null functions",
       [](fake::SourceManager& m) {
         m.On(DG_CONTROL, DAT_ENTRYPOINT, MSG_GET).Fill([](TW_MEMREF data) {
           auto* entry = static_cast<TW_ENTRYPOINT*>(data);
           entry->Size = sizeof(*entry);
         });
       },
       EntryPointOutcome::kUnusable,
       "DAT_ENTRYPOINT answered Size " + std::to_string(sizeof(TW_ENTRYPOINT)) +
           " without all four memory functions: staying on the 1.x paths"},
      {"no allocate", WithoutOne(offsetof(TW_ENTRYPOINT, DSM_MemAllocate)),
       EntryPointOutcome::kUnusable, kFullSizeUnusable},
      {"no free", WithoutOne(offsetof(TW_ENTRYPOINT, DSM_MemFree)), EntryPointOutcome::kUnusable,
       kFullSizeUnusable},
      {"no lock", WithoutOne(offsetof(TW_ENTRYPOINT, DSM_MemLock)), EntryPointOutcome::kUnusable,
       kFullSizeUnusable},
      {"no unlock", WithoutOne(offsetof(TW_ENTRYPOINT, DSM_MemUnlock)),
       EntryPointOutcome::kUnusable, kFullSizeUnusable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake::SourceManager manager;
    manager.SetTwain2(true);
    manager.AddSource("Flatbed");
    c.arrange(manager);
    ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
    EXPECT_EQ(TWAIN_Twain2Record().entryPoint, c.outcome);
    EXPECT_EQ(EntryPointNoteText(), c.note);
    EXPECT_FALSE(platform::UsingMemoryFunctions());
    EXPECT_EQ(TWAIN_GetResultCode(), TWRC_SUCCESS) << "the open's result stays";
    ASSERT_TRUE(TWAIN_SourceOpenDefault());
    const int allocations = fake::SourceManager::memoryCalls().allocations;
    const long systemAllocations = GetMemoryStats().allocations;
    TWAIN_SetCapOneValue(ICAP_UNITS, TWTY_UINT16, 1);
    EXPECT_GT(GetMemoryStats().allocations, systemAllocations);
    EXPECT_EQ(fake::SourceManager::memoryCalls().allocations, allocations);
    TWAIN_UnbindManager();
  }
}

TEST_F(Twain2Test, OneXManagerOrOneXApplicationNeverAsksTheTwoXTriplets) {
  dsm.SetTwain2(false);
  GoTo(4);
  EXPECT_EQ(TWAIN_Twain2Record().entryPoint, EntryPointOutcome::kNotDsm2);
  EXPECT_EQ(EntryPointNoteText(),
            "The Source Manager is not 2.x (no DF_DSM2 in its answer): staying on the 1.x paths");
  EXPECT_EQ(TWAIN_Twain2Record().callback, CallbackOutcome::kNotAsked);
  TWAIN_UnbindManager();

  dsm.SetTwain2(true);
  TWAIN_SetTwain2(false);
  dsm.ClearCalls();
  GoTo(4);
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_ENTRYPOINT, MSG_GET), 0u);
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK), 0u);
  EXPECT_EQ(EntryPointNoteText(), "");
  EXPECT_EQ(CallbackNoteText("Flatbed"), "");
}

TEST_F(Twain2Test, TheManagerIsAskedForEveryBlockItsSizeFieldHolds) {
  GoTo(3);
  ASSERT_EQ(TWAIN_Twain2Record().entryPoint, EntryPointOutcome::kGranted);
  platform::host::FailAllocationsAbove(1 << 20);  // no real 4 GiB block
  const int asked = Calls().allocations;
  EXPECT_EQ(platform::MemAlloc(0xFFFFFFFFu), nullptr);
  EXPECT_EQ(Calls().allocations, asked + 1);
  EXPECT_EQ(platform::MemAlloc(std::size_t{0xFFFFFFFFu} + 1), nullptr);
  EXPECT_EQ(Calls().allocations, asked + 1) << "a size 32 bits cannot hold is not asked for";
}

TEST_F(Twain2Test, AHardResetStopsUsingTheManagersMemory) {
  GoTo(4);
  ASSERT_TRUE(platform::UsingMemoryFunctions());
  TWAIN_Shutdown();  // the Manager is unloaded with the session
  EXPECT_FALSE(platform::UsingMemoryFunctions());
  EXPECT_EQ(TWAIN_Twain2Record().entryPoint, EntryPointOutcome::kNotAsked);
  TWAIN_Startup();

  // So does the reset the tests and the shutdown use, and it frees the
  // library's own last transfer.
  GoTo(4);
  ASSERT_TRUE(platform::UsingMemoryFunctions());
  TWAIN_Session().ownXferResult = platform::SystemMemAlloc(16);
  TWAIN_ResetSession();
  EXPECT_FALSE(platform::UsingMemoryFunctions());
  EXPECT_EQ(platform::host::GetMemoryStats().liveBlocks, 0);
  EXPECT_EQ(TWAIN_Twain2Record().entryPoint, EntryPointOutcome::kNotAsked);
}

TEST_F(Twain2Test, OnlyXferReadyMovesTheStateWhenTaken) {
  AddDs2Default();
  GoTo(5);
  platform::Message message;
  dsm.Callback(MSG_CLOSEDSREQ);
  ASSERT_TRUE(platform::PeekRemoveMessage(message));
  EXPECT_EQ(TWAIN_TakeCallbackEvent(message).kind, CallbackEventKind::kAccepted);
  EXPECT_EQ(TWAIN_State(), 5) << "the request is the caller's to answer";
}

TEST_F(Twain2Test, CallbackEventsArePostedAndTakenOutsideTheCallback) {
  AddDs2Default();
  GoTo(5);
  ASSERT_EQ(TWAIN_Twain2Record().callback, CallbackOutcome::kRegistered);
  EXPECT_EQ(CallbackNoteText("Scanner 2"),
            "DAT_CALLBACK registered: Source events come by callback");
  EXPECT_EQ(TWAIN_GetResultCode(), TWRC_SUCCESS);

  // Only DG_CONTROL / DAT_NULL is an event; the callback refuses the rest.
  EXPECT_EQ(dsm.CallbackTriplet(DG_IMAGE, DAT_NULL, MSG_XFERREADY), TWRC_FAILURE);
  EXPECT_EQ(dsm.CallbackTriplet(DG_CONTROL, DAT_CAPABILITY, MSG_XFERREADY), TWRC_FAILURE);
  EXPECT_EQ(TakeQueued(), 0);
  ASSERT_TRUE(dsm.Callback(MSG_XFERREADY));
  EXPECT_EQ(TWAIN_State(), 5) << "nothing is handled inside the callback";
  EXPECT_EQ(TakeQueued(), 1);
  EXPECT_EQ(TWAIN_State(), 6);

  // Not taken: an unknown message, an event for an earlier Source, one while
  // no Source is enabled.
  platform::Message message;
  dsm.Callback(MSG_DEVICEEVENT);
  ASSERT_TRUE(platform::PeekRemoveMessage(message));
  CallbackEvent event = TWAIN_TakeCallbackEvent(message);
  EXPECT_EQ(event.kind, CallbackEventKind::kUnknownMessage);
  EXPECT_EQ(CallbackEventNoteText(event),
            "Callback with MSG_DEVICEEVENT, not a Source event: ignored");

  dsm.Callback(MSG_XFERREADY);
  ASSERT_TRUE(platform::PeekRemoveMessage(message));
  --message.lParam;
  event = TWAIN_TakeCallbackEvent(message);
  EXPECT_EQ(event.kind, CallbackEventKind::kStale);
  EXPECT_EQ(CallbackEventNoteText(event),
            "Callback with MSG_XFERREADY for a Source no longer open: ignored");

  TWAIN_XferAbortAll();
  ASSERT_TRUE(TWAIN_SourceDisable());
  dsm.Callback(MSG_CLOSEDSREQ);
  ASSERT_TRUE(platform::PeekRemoveMessage(message));
  event = TWAIN_TakeCallbackEvent(message);
  EXPECT_EQ(event.kind, CallbackEventKind::kNoSource);
  EXPECT_EQ(CallbackEventNoteText(event),
            "Callback with MSG_CLOSEDSREQ in state 4, no Source enabled: ignored");
  EXPECT_EQ(TWAIN_State(), 4);
}

TEST_F(Twain2Test, CallbackMetWhileDrainingIsTheLibrarys) {
  AddDs2Default();
  GoTo(5);
  dsm.Callback(MSG_CLOSEDSREQ);
  TWAIN_DrainMessages();
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_TRUE(platform::host::TakeDispatched().empty()) << "never dispatched to a window";

  // One that comes while an image is being transferred starts no second transfer.
  ASSERT_TRUE(TWAIN_SourceEnable(nullptr));
  TWAIN_SetState(7);
  dsm.ClearCalls();
  dsm.Callback(MSG_XFERREADY);
  platform::Message message;
  ASSERT_TRUE(platform::PeekRemoveMessage(message));
  EXPECT_TRUE(TWAIN_FilterMessage(message));
  EXPECT_EQ(dsm.Count(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET), 0u) << dsm.Transcript();
  EXPECT_EQ(TWAIN_State(), 7);
  // Nor does a close request met while an image is ready.
  TWAIN_SetState(6);
  dsm.Callback(MSG_CLOSEDSREQ);
  ASSERT_TRUE(platform::PeekRemoveMessage(message));
  EXPECT_TRUE(TWAIN_FilterMessage(message));
  EXPECT_EQ(dsm.Count(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET), 0u) << dsm.Transcript();
}

TEST_F(Twain2Test, OneXSourceOrRefusedCallbackKeepsTheMessageQueue) {
  GoTo(4);
  EXPECT_EQ(TWAIN_Twain2Record().callback, CallbackOutcome::kNotDs2);
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK), 0u);
  EXPECT_EQ(CallbackNoteText("Flatbed"),
            "Flatbed is not a 2.x Source (no DF_DS2): events come through the message queue");
  TWAIN_SourceClose();

  AddDs2Default();
  dsm.On(DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK)
      .Return(TWRC_FAILURE)
      .Condition(TWCC_BADPROTOCOL);
  TW_IDENTITY wanted{};
  std::strcpy(wanted.ProductName, "Scanner 2");
  ASSERT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &wanted));
  EXPECT_EQ(TWAIN_GetResultCode(), TWRC_SUCCESS) << "the open's result stays";
  EXPECT_EQ(TWAIN_Twain2Record().callback, CallbackOutcome::kRefused);
  EXPECT_EQ(CallbackNoteText("Scanner 2"),
            "DG_CONTROL / DAT_CALLBACK / MSG_REGISTER_CALLBACK -> TWRC_FAILURE, TWCC_BADPROTOCOL: "
            "events come through the message queue");
  // The message path still brings the event.
  ASSERT_TRUE(TWAIN_SourceEnable(nullptr));
  dsm.QueueEvent(MSG_XFERREADY);
  platform::Message message;
  TW_EVENT event{&message, MSG_NULL};
  TWAIN_DS(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
  EXPECT_EQ(TWAIN_State(), 6);
}

TEST_F(Twain2Test, TwoXManagerListsOneIdentityPerFileWithIdsKeptFromTheList) {
  fake::SourceManager manager;
  manager.SetTwain2(true);
  manager.AddSource("Sample Flatbed", 7);
  manager.AddSource("Sample Fault Lab", 7);
  manager.AddSource("Sample Fault Lab", 8);
  ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
  std::vector<std::pair<std::string, TW_UINT32>> listed;
  TW_IDENTITY identity{};
  for (bool more = TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &identity); more;
       more = TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &identity)) {
    listed.push_back({identity.ProductName, identity.Id});
    identity = TW_IDENTITY{};
  }
  EXPECT_EQ(listed, (std::vector<std::pair<std::string, TW_UINT32>>{{"Sample Flatbed", 1},
                                                                    {"Sample Fault Lab", 3}}));
  std::strcpy(identity.ProductName, "Sample Fault Lab");
  identity.Id = 3;
  ASSERT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity));
  EXPECT_EQ(TWAIN_Session().sourceIdentity.Id, 3u);
}

}  // namespace
