// The 2.x application paths, used only when the user asks for them: the
// identity flags, the Manager's memory functions (DAT_ENTRYPOINT) and the
// Source's events by callback (DAT_CALLBACK), each falling back to the 1.x
// path when the Manager or the Source does not grant it.
#pragma once

#include "platform/message_queue.h"
#include "session/twain_session.h"

// Off by default; the application identity then carries DF_APP2 and
// protocol 2.4 (applied now and by every later TWAIN_SetAppIdentity).
void TWAIN_SetTwain2(bool on);
bool TWAIN_Twain2();
const Twain2Record& TWAIN_Twain2Record();

// Called after MSG_OPENDSM succeeded: asks DAT_ENTRYPOINT when the Manager
// answered DF_DSM2 and puts its memory functions in use.
void TWAIN_AskEntryPoint();
// Called after MSG_OPENDS succeeded: registers the callback with a DF_DS2 Source.
void TWAIN_RegisterCallback();
// The Manager's memory functions go out of use (Manager closed or unbound).
void TWAIN_DropEntryPoint();

// A Source event the callback posted to our queue, taken by the window's
// pre-translation. The callback never handles an event itself.
constexpr std::uint32_t kCallbackEventMessage = platform::kAppMessage + 0x14;
enum class CallbackEventKind { kNotCallback, kAccepted, kUnknownMessage, kNoSource, kStale };
struct CallbackEvent {
  CallbackEventKind kind = CallbackEventKind::kNotCallback;
  TW_UINT16 message = 0;
  int state = 0;  // the session's state when the event was taken
};
// Classifies the message and, for an accepted MSG_XFERREADY in state 5,
// enters state 6 as the message path does.
CallbackEvent TWAIN_TakeCallbackEvent(const platform::Message& message);

// The Manager's condition code whenever it is bound (states 2 and up); the
// last result code is left as it was.
TW_UINT16 TWAIN_ManagerConditionCode();
