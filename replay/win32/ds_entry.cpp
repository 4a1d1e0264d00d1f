// vorrel_replay.ds: DS_Entry of the Replay Source. The trace is chosen by
// VORREL_REPLAY, else by vorrel_replay.txt beside the DLL (its path on the
// first line, optionally `name=...`); VORREL_REPLAY_NAME names the Source.
// VORREL_SAMPLE_TRACE writes the Source's own trace, as for the Sample Source.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "replay/replay_module.h"
#include "sample_source/win32/win32_host.h"

namespace {

HINSTANCE g_module = nullptr;

constexpr char kReplayVariable[] = "VORREL_REPLAY";
constexpr char kNameVariable[] = "VORREL_REPLAY_NAME";
constexpr char kSettingsFile[] = "vorrel_replay.txt";
constexpr char kTraceVariable[] = "VORREL_SAMPLE_TRACE";

// The file beside the DLL, overridden by the environment.
replay::ReplaySettings Settings() {
  replay::ReplaySettings settings;
  if (const std::string folder = sample::ModuleFolder(g_module); !folder.empty())
    settings = replay::ParseSettingsText(sample::ReadSmallFile(folder + kSettingsFile));
  if (std::string trace = sample::EnvironmentText(kReplayVariable); !trace.empty())
    settings.tracePath = trace;
  if (std::string name = sample::EnvironmentText(kNameVariable); !name.empty())
    settings.productName = name;
  return settings;
}

replay::ReplayModule& Module() {
  static replay::ReplayModule module(
      [](const TW_ENTRYPOINT* entryPoint) {
        return std::make_unique<sample::Win32Host>(g_module, entryPoint);
      },
      Settings);
  static const bool traced = [] {
    const std::string path = sample::EnvironmentText(kTraceVariable);
    module.SetTrace([path](const std::string& line) {
      // What the trace did not cover, or why it could not be read, reaches
      // a debugger too, so a vendor sees it without a trace file.
      if (line.rfind("replay:", 0) == 0) OutputDebugStringA((line + "\n").c_str());
      if (!path.empty()) sample::AppendTraceLine(path, line);
    });
    return true;
  }();
  (void)traced;
  return module;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

__declspec(dllexport) TW_UINT16 TW_CALLINGSTYLE
    DS_Entry(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  return Module().Entry(origin, dg, dat, msg, data);
}
}
