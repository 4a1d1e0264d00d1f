// Offering window messages to an enabled Source, draining the queue through
// that filter, and the hidden proxy window used as parent when none is given.
#pragma once

#include "platform/handles.h"
#include "platform/message_queue.h"

platform::WindowHandle TWAIN_ParentWindow(platform::WindowHandle window);
bool TWAIN_FilterMessage(const platform::Message& message);
void TWAIN_DrainMessages();
// The library's own native transfer of an image announced while draining.
void Xfer_OnReady();

constexpr const char* kProxyWindowTitle = "Acquire Proxy";
