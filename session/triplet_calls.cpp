#include "session/triplet_calls.h"

#include <cstdint>
#include <cstring>

#include "platform/debug_output.h"
#include "platform/message_box.h"
#include "session/call_seam.h"
#include "session/record_guard.h"
#include "session/twain2.h"
#include "session/twain_session.h"

namespace {

// What a Source triplet's outcome does to the session. Each rule receives the
// returned code and the record and gives the call's result.
using Effect = bool (*)(TwainSession& s, TW_UINT16 rc, TW_MEMREF data);

struct EffectRule {
  TW_UINT32 dg;
  TW_UINT16 dat;
  TW_UINT16 msg;
  Effect effect;
};

bool ProcessEvent(TwainSession&, TW_UINT16 rc, TW_MEMREF data) {
  if (data && static_cast<TW_EVENT*>(data)->TWMessage == MSG_XFERREADY) TWAIN_SetState(6);
  return rc == TWRC_DSEVENT;
}

void KeepPendingAnswer(TwainSession& s, TW_UINT16 message, TW_MEMREF data) {
  const TW_UINT16 count = data ? static_cast<TW_PENDINGXFERS*>(data)->Count : 0;
  s.pendingAnswer = {s.pendingAnswer.serial + 1, message, count};
}

bool EndXfer(TwainSession& s, TW_UINT16 rc, TW_MEMREF data) {
  if (rc != TWRC_SUCCESS) return false;
  KeepPendingAnswer(s, MSG_ENDXFER, data);
  TWAIN_SetState(s.pendingAnswer.count != 0 ? 6 : 5);
  return true;
}

bool ResetXfers(TwainSession& s, TW_UINT16 rc, TW_MEMREF data) {
  if (rc != TWRC_SUCCESS) return false;
  KeepPendingAnswer(s, MSG_RESET, data);
  TWAIN_SetState(5);
  return true;
}

bool SetupMemXfer(TwainSession& s, TW_UINT16 rc, TW_MEMREF) {
  if (rc != TWRC_SUCCESS) return false;
  s.memoryBufferCount = 0;
  return true;
}

bool EnableSource(TwainSession&, TW_UINT16 rc, TW_MEMREF) {
  if (rc == TWRC_FAILURE) {
    TWAIN_RecordFailure(kFailureEnableSource);
    return false;
  }
  // A Source that answers CHECKSTATUS or anything but failure is enabled.
  TWAIN_SetState(5);
  return true;
}

bool DisableSource(TwainSession&, TW_UINT16 rc, TW_MEMREF) {
  if (rc != TWRC_SUCCESS) return false;
  TWAIN_SetState(4);
  return true;
}

bool MemoryBuffer(TwainSession& s, TW_UINT16 rc, TW_MEMREF) {
  if (rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) {
    ++s.memoryBufferCount;
    TWAIN_SetState(7);
    return true;
  }
  if (rc == TWRC_FAILURE) TWAIN_SetState(s.memoryBufferCount > 0 ? 7 : 6);
  return false;
}

bool WholeImage(TwainSession&, TW_UINT16 rc, TW_MEMREF) {
  if (rc == TWRC_XFERDONE) {
    TWAIN_SetState(7);
    return true;
  }
  TWAIN_SetState(rc == TWRC_CANCEL ? 7 : 6);
  return false;
}

constexpr EffectRule kSourceEffects[] = {
    {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, ProcessEvent},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, EndXfer},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, ResetXfers},
    {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, SetupMemXfer},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, EnableSource},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, DisableSource},
    {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, MemoryBuffer},
    {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, WholeImage},
    {DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, WholeImage},
};

// One bit per DAT that some rule names (by its low six bits), so the
// triplets no rule names, a capability scan's thousands among them, skip the search.
constexpr std::uint64_t DatsWithEffects() {
  std::uint64_t bits = 0;
  for (const EffectRule& rule : kSourceEffects) bits |= std::uint64_t{1} << (rule.dat & 63);
  return bits;
}
constexpr std::uint64_t kDatsWithEffects = DatsWithEffects();

const EffectRule* FindEffect(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
  if ((kDatsWithEffects >> (dat & 63) & 1) == 0) return nullptr;
  for (const EffectRule& rule : kSourceEffects) {
    if (rule.dat == dat && rule.msg == msg && rule.dg == dg) return &rule;
  }
  return nullptr;
}

// The fields a Source fills in a memory buffer request; the Memory
// descriptor stays as the caller set it.
void ClearMemXferReport(TW_IMAGEMEMXFER* record) {
  record->Compression = 0;
  record->BytesPerRow = 0;
  record->Columns = 0;
  record->Rows = 0;
  record->XOffset = 0;
  record->YOffset = 0;
  record->BytesWritten = 0;
}

void SetSourceIdentity(TwainSession& s, const TW_IDENTITY& identity) {
  std::memcpy(&s.sourceIdentity, &identity, sizeof(TW_IDENTITY));
  std::memcpy(s.sourceProductName, identity.ProductName, sizeof(identity.ProductName));
  s.sourceProductName[sizeof(identity.ProductName)] = '\0';
}

}  // namespace

bool TWAIN_DS(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  return SendToSource(dg, dat, msg, data, false);
}

bool SendToSource(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data, bool guarded) {
  TwainSession& s = TWAIN_Session();
  s.lastResultCode = TWRC_FAILURE;
  if (dg == DG_IMAGE && dat == DAT_IMAGEMEMXFER && msg == MSG_GET && data) {
    ClearMemXferReport(static_cast<TW_IMAGEMEMXFER*>(data));
  }
  if (!s.managerEntry) return false;
  if (s.callNesting != 0) platform::DebugOutput(" - blocked\n");
  ++s.callNesting;
  RecordGuard guard(dat, data, static_cast<std::size_t>(s.callNesting - 1), guarded);
  const TW_UINT16 rc = CallThroughSeam(s.managerEntry, &s.appIdentity, &s.sourceIdentity, dg, dat,
                                       msg, guard.record());
  guard.Check(dg, dat, msg, s.appGuard, s.sourceGuard);
  --s.callNesting;
  s.lastResultCode = static_cast<TW_INT16>(rc);
  const EffectRule* rule = FindEffect(dg, dat, msg);
  return rule ? rule->effect(s, rc, data) : rc == TWRC_SUCCESS;
}

bool TWAIN_ManagerCall(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  TwainSession& s = TWAIN_Session();
  s.lastResultCode = TWRC_FAILURE;
  if (!s.managerEntry) return false;
  const TW_UINT16 rc = CallThroughSeam(s.managerEntry, &s.appIdentity, nullptr, dg, dat, msg, data);
  s.lastResultCode = static_cast<TW_INT16>(rc);
  const bool ok = rc == TWRC_SUCCESS;
  if (dg != DG_CONTROL) return ok;
  if (dat == DAT_IDENTITY && msg == MSG_OPENDS) {
    if (ok && data) {
      SetSourceIdentity(s, *static_cast<const TW_IDENTITY*>(data));
      TWAIN_SetState(4);
      TWAIN_RegisterCallback();
    } else if (!ok) {
      TWAIN_RecordFailure(kFailureOpenSource);
    }
  } else if (ok && dat == DAT_IDENTITY && msg == MSG_CLOSEDS) {
    TWAIN_SetState(3);
  } else if (ok && dat == DAT_PARENT && msg == MSG_OPENDSM) {
    TWAIN_SetState(3);
  } else if (ok && dat == DAT_PARENT && msg == MSG_CLOSEDSM) {
    TWAIN_DropEntryPoint();
    TWAIN_SetState(2);
  }
  return ok;
}

TW_UINT16 TWAIN_GetConditionCode() {
  TwainSession& s = TWAIN_Session();
  const TW_INT16 remembered = s.lastResultCode;
  WithGuard<TW_STATUS> status;
  status.record.ConditionCode = TWCC_BUMMER;
  status.record.Reserved = 0;
  if (s.state >= 4) {
    TWAIN_DS(DG_CONTROL, DAT_STATUS, MSG_GET, status);
  } else if (s.state == 3) {
    TWAIN_ManagerCall(DG_CONTROL, DAT_STATUS, MSG_GET, &status.record);
  }
  s.lastResultCode = remembered;
  return status.record.ConditionCode;
}

void TWAIN_RecordFailure(int kind) {
  FirstFailure& failure = TWAIN_Session().firstFailure;
  if (failure.kind != 0) return;
  failure.kind = kind;
  if (kind >= 2 && kind <= 6) {
    failure.resultCode = static_cast<TW_INT16>(TWAIN_GetResultCode());
    failure.conditionCode = TWAIN_GetConditionCode();
  } else {
    failure.resultCode = 0;
    failure.conditionCode = 0;
  }
}

void TWAIN_ErrorBox(const char* text) {
  platform::InfoBox(nullptr, text, kErrorBoxCaption);
}
