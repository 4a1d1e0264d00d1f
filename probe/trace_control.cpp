#include "probe/trace_control.h"

#include <windows.h>

#include <memory>
#include <string>

#include "pages/about_text.h"
#include "trace/trace_session.h"

namespace {

bool g_images = true;

std::unique_ptr<TraceSession>& Session() {
  static std::unique_ptr<TraceSession> session;
  return session;
}

// "Windows 10.0 build 19045", as the system reports it to a program that
// declares no compatibility (which GetVersionEx would not).
std::string WindowsVersionText() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const auto getVersion = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(ntdll ? GetProcAddress(ntdll, "RtlGetVersion") : nullptr));
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!getVersion || getVersion(&info) != 0) return "Windows (version unknown)";
  return "Windows " + std::to_string(info.dwMajorVersion) + "." +
         std::to_string(info.dwMinorVersion) + " build " + std::to_string(info.dwBuildNumber);
}

}  // namespace

void BeginTraceSession() {
  if (!Session()) Session() = std::make_unique<TraceSession>();
  SetCallObserver(Session().get());
}

void EndTraceSession() {
  SetCallObserver(nullptr);
  Session().reset();
}

void SetTraceImages(bool images) {
  g_images = images;
}

bool StartTraceFile(const char* path) {
  BeginTraceSession();
  auto output = std::make_unique<FileTraceOutput>(path);
  if (!output->IsOpen()) {
    Session()->Stop();
    return false;
  }
  TraceMachine machine;
  machine.windows = WindowsVersionText();
  machine.probe = VersionText();
  return Session()->Start(std::move(output), g_images, machine);
}

void StopTraceFile() {
  if (!Session() || !Session()->recording()) return;
  Session()->Stop();
}

bool TraceRecording() {
  return Session() && Session()->recording();
}

void WriteOutTrace() {
  if (Session()) Session()->WriteOut();
}
