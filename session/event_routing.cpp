#include "session/event_routing.h"

#include "platform/gdi_bitmap.h"
#include "platform/memory.h"
#include "platform/tick_count.h"
#include "session/triplet_calls.h"
#include "session/twain2.h"
#include "session/twain_session.h"

platform::WindowHandle TWAIN_ParentWindow(platform::WindowHandle window) {
  if (platform::IsWindowHandle(window)) return window;
  if (window) TWAIN_ErrorBox("Ambit: window handle is invalid");
  TwainSession& s = TWAIN_Session();
  if (!s.proxyWindow) {
    platform::WindowHandle proxy = platform::CreateProxyWindow(kProxyWindowTitle);
    if (platform::IsWindowHandle(proxy)) {
      s.proxyWindow = proxy;
    } else {
      TWAIN_ErrorBox("Ambit: Unable to create proxy window");
    }
  }
  return s.proxyWindow;
}

bool TWAIN_FilterMessage(const platform::Message& message) {
  // A callback's event met while draining is the library's, as a queued one is;
  // one that is not taken is dropped here, never dispatched to a window.
  if (const CallbackEvent callback = TWAIN_TakeCallbackEvent(message);
      callback.kind != CallbackEventKind::kNotCallback) {
    if (callback.kind != CallbackEventKind::kAccepted) return true;
    if (callback.message == MSG_XFERREADY && TWAIN_State() == 6) Xfer_OnReady();
    if (callback.message != MSG_XFERREADY) TWAIN_SourceDisable();
    return true;
  }
  if (TWAIN_State() < 5) return false;
  TW_EVENT event{};
  // The Source reads the message through pEvent and never writes it.
  event.pEvent = const_cast<platform::Message*>(&message);
  event.TWMessage = MSG_NULL;
  const bool claimed = TWAIN_DS(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
  if (event.TWMessage == MSG_XFERREADY) {
    Xfer_OnReady();
  } else if (event.TWMessage == MSG_CLOSEDSREQ) {
    TWAIN_SourceDisable();
  }
  return claimed;
}

void TWAIN_DrainMessages() {
  platform::Message message;
  while (platform::PeekRemoveMessage(message)) {
    if (message.message == platform::kQuitMessage) {
      platform::PostQuit(static_cast<int>(message.wParam));
      return;
    }
    if (!TWAIN_FilterMessage(message)) platform::TranslateDispatch(message);
  }
}

TW_UINT16 TWAIN_WaitForSourceEvent(std::uint32_t milliseconds) {
  const std::uint32_t start = platform::TickCount();
  for (;;) {
    platform::Message message;
    if (platform::PeekRemoveMessage(message)) {
      if (message.message == platform::kQuitMessage) {
        platform::PostQuit(static_cast<int>(message.wParam));
        return MSG_NULL;
      }
      if (const CallbackEvent callback = TWAIN_TakeCallbackEvent(message);
          callback.kind != CallbackEventKind::kNotCallback) {
        if (callback.kind == CallbackEventKind::kAccepted) return callback.message;
        continue;
      }
      if (TWAIN_State() < 5) return MSG_NULL;
      TW_EVENT event{};
      event.pEvent = &message;
      event.TWMessage = MSG_NULL;
      const bool claimed = TWAIN_DS(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
      if (event.TWMessage != MSG_NULL) return event.TWMessage;
      if (!claimed && message.message != platform::kTimerMessage)
        platform::TranslateDispatch(message);
      continue;
    }
    const std::uint32_t spent = platform::TickCount() - start;
    if (spent >= milliseconds || !platform::WaitForMessage(milliseconds - spent)) return MSG_NULL;
  }
}

void Xfer_OnReady() {
  TwainSession& s = TWAIN_Session();
  // Only the native mechanism exists for the library's own transfer.
  TW_HANDLE image = nullptr;
  // Nobody reads an earlier result; keeping it would leak one image per transfer.
  platform::MemFree(s.ownXferResult);
  s.ownXferResult = nullptr;
  if (TWAIN_DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image)) {
    // A Source may hand back an HBITMAP, which is no block to lock or free.
    s.ownXferResult = platform::IsGdiBitmap(image) ? platform::TakeGdiBitmap(image) : image;
  } else {
    TWAIN_RecordFailure(TWAIN_GetResultCode() == TWRC_CANCEL ? kFailureTransferCancelled
                                                             : kFailureImageTransfer);
  }
  TWAIN_XferEnd();
}
