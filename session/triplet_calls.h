// The two paths every triplet takes, the result and condition codes, the
// first-failure record and the library's error box.
#pragma once

#include <cstddef>

#include "session/record_guard.h"
#include "session/twain_session.h"
#include "twain/twain.h"

// To the open Source; moves the state by the triplet's outcome.
bool TWAIN_DS(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
// The same for a record with guard bytes of its own after it: no copy.
bool SendToSource(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data, bool guarded);
template <typename T>
bool TWAIN_DS(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, WithGuard<T>& data) {
  static_assert(offsetof(WithGuard<T>, guard) == sizeof(T), "the guard follows the record");
  return SendToSource(dg, dat, msg, &data.record,
                      GuardedRecordOf(dat) && GuardedRecordOf(dat)->size == sizeof(T));
}
// To the Source Manager itself.
bool TWAIN_ManagerCall(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
inline int TWAIN_GetResultCode() {
  return TWAIN_Session().lastResultCode;
}
TW_UINT16 TWAIN_GetConditionCode();
void TWAIN_RecordFailure(int kind);
void TWAIN_ErrorBox(const char* text);

constexpr const char* kErrorBoxCaption = "TWAIN Error";
// Caption of the boxes the program itself shows (its application title).
constexpr const char* kProgramCaption = "Vorrel";
