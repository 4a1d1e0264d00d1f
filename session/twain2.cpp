#include "session/twain2.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "platform/memory.h"
#include "session/triplet_calls.h"

namespace {

constexpr TW_UINT16 kProtocol2Major = 2;
constexpr TW_UINT16 kProtocol2Minor = 4;

Twain2Record& Record() {
  return TWAIN_Session().twain2;
}

// The Manager's functions behind the platform's memory service.
platform::MemoryHandle ManagerAllocate(std::size_t bytes) {
  DSM_MEMALLOCATE allocate = Record().entry.DSM_MemAllocate;
  if (!allocate || bytes > std::numeric_limits<TW_UINT32>::max()) return nullptr;
  return allocate(static_cast<TW_UINT32>(bytes));
}
void ManagerFree(platform::MemoryHandle block) {
  if (DSM_MEMFREE free = Record().entry.DSM_MemFree) free(block);
}
void* ManagerLock(platform::MemoryHandle block) {
  DSM_MEMLOCK lock = Record().entry.DSM_MemLock;
  return lock ? lock(block) : nullptr;
}
void ManagerUnlock(platform::MemoryHandle block) {
  if (DSM_MEMUNLOCK unlock = Record().entry.DSM_MemUnlock) unlock(block);
}
constexpr platform::MemoryFunctions kManagerMemory = {ManagerAllocate, ManagerFree, ManagerLock,
                                                      ManagerUnlock};

// A field of the Manager's record counts only when its Size covers it.
template <class Field>
Field Covered(const TW_ENTRYPOINT& entry, std::size_t offset, Field field) {
  const std::size_t size = std::min<std::size_t>(entry.Size, sizeof(TW_ENTRYPOINT));
  return offset + sizeof(Field) <= size ? field : nullptr;
}

// Called by the Manager, possibly from inside a triplet: the event only goes
// to our queue, so the session moves where every other event moves it.
TW_UINT16 TW_CALLINGSTYLE CallbackEntry(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32 dg, TW_UINT16 dat,
                                        TW_UINT16 msg, TW_MEMREF) {
  if (dg != DG_CONTROL || dat != DAT_NULL) return TWRC_FAILURE;
  const TwainSession& s = TWAIN_Session();
  return platform::PostQueueMessage(s.parentWindow, kCallbackEventMessage, msg,
                                    static_cast<std::intptr_t>(s.twain2.sourceSerial))
             ? TWRC_SUCCESS
             : TWRC_FAILURE;
}

void ApplyIdentityFlags() {
  TW_IDENTITY& app = TWAIN_Session().appIdentity;
  if (Record().enabled) {
    app.ProtocolMajor = kProtocol2Major;
    app.ProtocolMinor = kProtocol2Minor;
    app.SupportedGroups |= DF_APP2;
  } else {
    app.ProtocolMajor = 1;
    app.ProtocolMinor = 8;
    app.SupportedGroups &= ~DF_APP2;
  }
}

bool ManagerIs2x() {
  return (TWAIN_Session().appIdentity.SupportedGroups & DF_DSM2) != 0;
}

}  // namespace

void TWAIN_SetTwain2(bool on) {
  Record().enabled = on;
  ApplyIdentityFlags();
}

bool TWAIN_Twain2() {
  return Record().enabled;
}

const Twain2Record& TWAIN_Twain2Record() {
  return Record();
}

void TWAIN_AskEntryPoint() {
  TwainSession& s = TWAIN_Session();
  Twain2Record& t = s.twain2;
  TWAIN_DropEntryPoint();
  if (!t.enabled) return;
  if (!ManagerIs2x()) {
    t.entryPoint = EntryPointOutcome::kNotDsm2;
    return;
  }
  const TW_INT16 remembered = s.lastResultCode;
  TW_ENTRYPOINT entry{};
  entry.Size = sizeof(entry);
  if (!TWAIN_ManagerCall(DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry)) {
    t.refusedRc = static_cast<TW_UINT16>(s.lastResultCode);
    t.refusedCc = TWAIN_GetConditionCode();
    t.entryPoint = EntryPointOutcome::kRefused;
    s.lastResultCode = remembered;
    return;
  }
  s.lastResultCode = remembered;
  t.entrySize = entry.Size;
  t.entry.Size = entry.Size;
  t.entry.DSM_Entry = Covered(entry, offsetof(TW_ENTRYPOINT, DSM_Entry), entry.DSM_Entry);
  t.entry.DSM_MemAllocate =
      Covered(entry, offsetof(TW_ENTRYPOINT, DSM_MemAllocate), entry.DSM_MemAllocate);
  t.entry.DSM_MemFree = Covered(entry, offsetof(TW_ENTRYPOINT, DSM_MemFree), entry.DSM_MemFree);
  t.entry.DSM_MemLock = Covered(entry, offsetof(TW_ENTRYPOINT, DSM_MemLock), entry.DSM_MemLock);
  t.entry.DSM_MemUnlock =
      Covered(entry, offsetof(TW_ENTRYPOINT, DSM_MemUnlock), entry.DSM_MemUnlock);
  if (!t.entry.DSM_MemAllocate || !t.entry.DSM_MemFree || !t.entry.DSM_MemLock ||
      !t.entry.DSM_MemUnlock) {
    t.entry = TW_ENTRYPOINT{};
    t.entryPoint = EntryPointOutcome::kUnusable;
    return;
  }
  t.entryPoint = EntryPointOutcome::kGranted;
  platform::UseMemoryFunctions(&kManagerMemory);
}

void TWAIN_DropEntryPoint() {
  Twain2Record& t = Record();
  if (t.entryPoint == EntryPointOutcome::kGranted) platform::UseMemoryFunctions(nullptr);
  t.entryPoint = EntryPointOutcome::kNotAsked;
  t.entry = TW_ENTRYPOINT{};
  t.entrySize = 0;
  t.callback = CallbackOutcome::kNotAsked;
}

void TWAIN_RegisterCallback() {
  TwainSession& s = TWAIN_Session();
  Twain2Record& t = s.twain2;
  ++t.sourceSerial;
  t.callback = CallbackOutcome::kNotAsked;
  if (!t.enabled || !ManagerIs2x()) return;
  if (!(s.sourceIdentity.SupportedGroups & DF_DS2)) {
    t.callback = CallbackOutcome::kNotDs2;
    return;
  }
  const TW_INT16 remembered = s.lastResultCode;
  TW_CALLBACK callback{};
  callback.CallBackProc = reinterpret_cast<TW_MEMREF>(&CallbackEntry);
  if (TWAIN_DS(DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback)) {
    t.callback = CallbackOutcome::kRegistered;
  } else {
    t.refusedRc = static_cast<TW_UINT16>(s.lastResultCode);
    t.refusedCc = TWAIN_GetConditionCode();
    t.callback = CallbackOutcome::kRefused;
  }
  s.lastResultCode = remembered;
}

CallbackEvent TWAIN_TakeCallbackEvent(const platform::Message& message) {
  CallbackEvent event;
  if (message.message != kCallbackEventMessage) return event;
  const TwainSession& s = TWAIN_Session();
  event.message = static_cast<TW_UINT16>(message.wParam);
  event.state = s.state;
  if (event.message != MSG_XFERREADY && event.message != MSG_CLOSEDSREQ &&
      event.message != MSG_CLOSEDSOK) {
    event.kind = CallbackEventKind::kUnknownMessage;
  } else if (s.state < 5) {
    event.kind = CallbackEventKind::kNoSource;
  } else if (static_cast<std::uintptr_t>(message.lParam) != s.twain2.sourceSerial) {
    event.kind = CallbackEventKind::kStale;
  } else {
    event.kind = CallbackEventKind::kAccepted;
    if (event.message == MSG_XFERREADY && s.state == 5) TWAIN_SetState(6);
  }
  return event;
}

TW_UINT16 TWAIN_ManagerConditionCode() {
  TwainSession& s = TWAIN_Session();
  const TW_INT16 remembered = s.lastResultCode;
  TW_STATUS status{};
  status.ConditionCode = TWCC_BUMMER;
  if (s.state >= 2) TWAIN_ManagerCall(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
  s.lastResultCode = remembered;
  return status.ConditionCode;
}
