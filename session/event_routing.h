// Offering window messages to an enabled Source, draining the queue through
// that filter, and the hidden proxy window used as parent when none is given.
#pragma once

#include <cstdint>

#include "platform/handles.h"
#include "platform/message_queue.h"
#include "twain/twain.h"

platform::WindowHandle TWAIN_ParentWindow(platform::WindowHandle window);
bool TWAIN_FilterMessage(const platform::Message& message);
void TWAIN_DrainMessages();
// Offers the enabled Source each message of the thread's queue, as the
// window's loop does, until it announces an event (MSG_XFERREADY,
// MSG_CLOSEDSREQ, ...) or the time passes: the event, or MSG_NULL. Messages
// the Source leaves are dispatched, timers dropped (a page's timer must not
// act on a state the window did not enter).
TW_UINT16 TWAIN_WaitForSourceEvent(std::uint32_t milliseconds);
// The library's own native transfer of an image announced while draining.
void Xfer_OnReady();

constexpr const char* kProxyWindowTitle = "Acquire Proxy";
