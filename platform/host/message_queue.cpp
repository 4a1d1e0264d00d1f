// The host message queue is filled by tests; dispatching records the message
// and hands it to a handler the test may set (a window procedure stand-in).
#include "platform/message_queue.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/host/host_platform.h"
#include "platform/host/host_reset.h"

namespace platform {
namespace {

struct FakeWindow {
  std::string title;
};

struct QueueRecord {
  std::deque<Message> queue;
  std::vector<Message> dispatched;
  std::function<void(const Message&)> handler;
  std::map<WindowHandle, std::unique_ptr<FakeWindow>> windows;
  bool failNextCreate = false;
  int quitPosts = 0;
};

QueueRecord& Record() {
  static QueueRecord record;
  return record;
}

WindowHandle NewWindow(const char* title) {
  auto window = std::make_unique<FakeWindow>();
  window->title = title ? title : "";
  WindowHandle handle = window.get();
  Record().windows[handle] = std::move(window);
  return handle;
}

}  // namespace

bool PeekRemoveMessage(Message& out) {
  QueueRecord& record = Record();
  if (record.queue.empty()) return false;
  out = record.queue.front();
  record.queue.pop_front();
  return true;
}

bool TakeQueueMessage(std::uint32_t message) {
  std::deque<Message>& queue = Record().queue;
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (it->message != message) continue;
    queue.erase(it);
    return true;
  }
  return false;
}

bool WaitForMessage(std::uint32_t) {
  return !Record().queue.empty();
}

bool PostQueueMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                      std::intptr_t lParam) {
  Message posted;
  posted.window = window && Record().windows.count(window) ? window : nullptr;
  posted.message = message;
  posted.wParam = wParam;
  posted.lParam = lParam;
  Record().queue.push_back(posted);
  return true;
}

void TranslateDispatch(const Message& message) {
  QueueRecord& record = Record();
  record.dispatched.push_back(message);
  // Copied so a handler that replaces itself stays alive while it runs.
  auto handler = record.handler;
  if (handler) handler(message);
}

void PostQuit(int exitCode) {
  Message quit;
  quit.message = kQuitMessage;
  quit.wParam = static_cast<std::uintptr_t>(exitCode);
  Record().queue.push_back(quit);
  ++Record().quitPosts;
}

bool IsWindowHandle(WindowHandle window) {
  return window && Record().windows.count(window) != 0;
}

WindowHandle CreateProxyWindow(const char* title) {
  if (Record().failNextCreate) {
    Record().failNextCreate = false;
    return nullptr;
  }
  return NewWindow(title);
}

void DestroyWindowHandle(WindowHandle window) {
  Record().windows.erase(window);
}

namespace host {

void PostMessage(const Message& message) {
  Record().queue.push_back(message);
}
std::size_t QueuedMessageCount() {
  return Record().queue.size();
}
void SetDispatchHandler(std::function<void(const Message&)> handler) {
  Record().handler = std::move(handler);
}
std::vector<Message> TakeDispatched() {
  return std::exchange(Record().dispatched, {});
}
WindowHandle CreateTestWindow() {
  return NewWindow("test window");
}
void DestroyTestWindow(WindowHandle window) {
  DestroyWindowHandle(window);
}
void FailNextWindowCreation() {
  Record().failNextCreate = true;
}

std::string WindowTitle(WindowHandle window) {
  auto it = Record().windows.find(window);
  return it == Record().windows.end() ? std::string() : it->second->title;
}

int LiveWindowCount() {
  return static_cast<int>(Record().windows.size());
}
int QuitPostCount() {
  return Record().quitPosts;
}
void ResetMessageQueue() {
  Record() = QueueRecord{};
}

}  // namespace host
}  // namespace platform
