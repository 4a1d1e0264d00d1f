// The thread's message queue and the windows the session library needs.
#pragma once

#include <cstdint>

#include "platform/handles.h"

namespace platform {

// Laid out exactly as the Windows MSG record, because the Source receives
// its address in TW_EVENT.pEvent.
struct Message {
  WindowHandle window = nullptr;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  std::uint32_t time = 0;
  std::int32_t x = 0;
  std::int32_t y = 0;
};

constexpr std::uint32_t kQuitMessage = 0x0012;
constexpr std::uint32_t kUserMessage = 0x0400;
// Private messages of the program's own, clear of every window class's range.
constexpr std::uint32_t kAppMessage = 0x8000;

// Takes the next message for any window of this thread; false when the queue is empty.
bool PeekRemoveMessage(Message& out);
// Takes the first message of this id waiting for the thread; false when
// none waits (something took it).
bool TakeQueueMessage(std::uint32_t message);
// Waits up to the time for a message to arrive; false when none is waiting
// (a test's queue never fills while it waits).
bool WaitForMessage(std::uint32_t milliseconds);
constexpr std::uint32_t kTimerMessage = 0x0113;
void TranslateDispatch(const Message& message);
void PostQuit(int exitCode);
// Puts a message at the end of the queue, for the window (the thread itself
// when the window is not valid); false when the queue refused it.
bool PostQueueMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                      std::intptr_t lParam);
bool IsWindowHandle(WindowHandle window);
// A hidden parentless popup of class STATIC with the given title; null on failure.
WindowHandle CreateProxyWindow(const char* title);
void DestroyWindowHandle(WindowHandle window);

}  // namespace platform
