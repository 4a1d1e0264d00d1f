#include "platform/message_queue.h"

#include <windows.h>

#include <cstddef>

namespace platform {

static_assert(sizeof(Message) == sizeof(MSG));
static_assert(offsetof(Message, message) == offsetof(MSG, message));
static_assert(offsetof(Message, wParam) == offsetof(MSG, wParam));
static_assert(offsetof(Message, lParam) == offsetof(MSG, lParam));
static_assert(offsetof(Message, time) == offsetof(MSG, time));
static_assert(offsetof(Message, x) == offsetof(MSG, pt));
static_assert(kQuitMessage == WM_QUIT);
static_assert(kUserMessage == WM_USER);
static_assert(kAppMessage == WM_APP);
static_assert(kTimerMessage == WM_TIMER);

bool PeekRemoveMessage(Message& out) {
  return PeekMessageA(reinterpret_cast<MSG*>(&out), nullptr, 0, 0, PM_REMOVE) != 0;
}

bool TakeQueueMessage(std::uint32_t message) {
  MSG msg;
  return PeekMessageA(&msg, reinterpret_cast<HWND>(-1), message, message, PM_REMOVE) != 0;
}

bool WaitForMessage(std::uint32_t milliseconds) {
  return MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT) == WAIT_OBJECT_0;
}

void TranslateDispatch(const Message& message) {
  const MSG* msg = reinterpret_cast<const MSG*>(&message);
  TranslateMessage(msg);
  DispatchMessageA(msg);
}

void PostQuit(int exitCode) {
  PostQuitMessage(exitCode);
}

bool PostQueueMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                      std::intptr_t lParam) {
  HWND target = window && IsWindow(static_cast<HWND>(window)) ? static_cast<HWND>(window) : nullptr;
  return PostMessageA(target, message, wParam, lParam) != 0;
}

bool IsWindowHandle(WindowHandle window) {
  return window && IsWindow(static_cast<HWND>(window));
}

WindowHandle CreateProxyWindow(const char* title) {
  HWND window =
      CreateWindowA("STATIC", title, WS_POPUPWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  return window;
}

void DestroyWindowHandle(WindowHandle window) {
  if (window) DestroyWindow(static_cast<HWND>(window));
}

}  // namespace platform
