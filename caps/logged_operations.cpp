#include "caps/logged_operations.h"

#include "caps/capability_calls.h"
#include "pages/log.h"
#include "session/triplet_calls.h"
#include "vocab/twain_names.h"

namespace {

struct LoggedOperationsRecord {
  std::string lastResultText;
  int currentXferMech = TWSX_NATIVE;
  bool xferMechNegotiated = false;
};

LoggedOperationsRecord g_record;

void LogOperation(const char* message, TW_UINT16 cap) {
  const std::string text = ResultText();
  LogLine("%s(%s) -> %s", message, CapName(cap).c_str(), text.c_str());
}

void RememberXferMech(bool succeeded, TW_UINT16 cap, int mechanism) {
  if (!succeeded || cap != ICAP_XFERMECH) return;
  g_record.currentXferMech = mechanism;
  g_record.xferMechNegotiated = true;
}

}  // namespace

std::string ResultText() {
  const int rc = TWAIN_GetResultCode();
  const TW_UINT16 cc = TWAIN_GetConditionCode();
  g_record.lastResultText = ResultTextOf(rc, cc);
  return g_record.lastResultText;
}

std::string ResultTextOf(int rc, TW_UINT16 cc) {
  std::string text = ResultCodeName(rc);
  if (rc != TWRC_SUCCESS) text += ", " + ConditionCodeName(cc);
  return text;
}

std::string LastResultText() {
  return g_record.lastResultText;
}

ContainerHandle* LoggedGet(TW_UINT16 cap) {
  ContainerHandle* h = TWAIN_Get(cap);
  LogOperation("MSG_GET", cap);
  return h;
}

ContainerHandle* LoggedGetCurrent(TW_UINT16 cap) {
  ContainerHandle* h = TWAIN_GetCurrent(cap);
  LogOperation("MSG_GETCURRENT", cap);
  return h;
}

ContainerHandle* LoggedGetDefault(TW_UINT16 cap) {
  ContainerHandle* h = TWAIN_GetDefault(cap);
  LogOperation("MSG_GETDEFAULT", cap);
  return h;
}

bool LoggedSet(TW_UINT16 cap, const ContainerHandle* h) {
  const bool ok = TWAIN_SetCap(cap, h);
  LogOperation("MSG_SET", cap);
  RememberXferMech(ok, cap, ok ? CONTAINER_IntValue(h, 0) : 0);
  return ok;
}

bool LoggedSetOneValue(TW_UINT16 cap, int itemType, std::int32_t value) {
  const bool ok = TWAIN_SetCapOneValue(cap, itemType, value);
  LogOperation("MSG_SET", cap);
  RememberXferMech(ok, cap, value);
  return ok;
}

bool LoggedReset(TW_UINT16 cap) {
  const bool ok = TWAIN_Reset(cap);
  LogOperation("MSG_RESET", cap);
  RememberXferMech(ok, cap, TWSX_NATIVE);
  return ok;
}

int CurrentXferMech() {
  return g_record.currentXferMech;
}
bool XferMechNegotiated() {
  return g_record.xferMechNegotiated;
}
void SetXferMechNegotiated(bool negotiated) {
  g_record.xferMechNegotiated = negotiated;
}
void ResetLoggedOperations() {
  g_record = LoggedOperationsRecord{};
}
