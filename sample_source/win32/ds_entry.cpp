// The DLL's exports: DS_Entry, which every Source Manager calls, and the
// Fault Lab's help (rundll32 vorrel_sample.ds,FaultLabHelp). Built three
// times: vorrel_sample.ds answers both identities, vorrel_flatbed.ds
// (VORREL_FLATBED_ONLY) only the Flatbed's, vorrel_fault_lab.ds
// (VORREL_FAULT_LAB_ONLY) only the Fault Lab's.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sample_source/fault_lab.h"
#include "sample_source/source_module.h"
#include "sample_source/win32/win32_host.h"

namespace {

HINSTANCE g_module = nullptr;

constexpr char kFaultVariable[] = "VORREL_FAULT_LAB";
constexpr char kFaultFile[] = "vorrel_fault_lab.txt";
constexpr char kTraceVariable[] = "VORREL_SAMPLE_TRACE";

// The file beside the DLL, then the environment: both choose misbehaviours.
std::string FaultText() {
  const std::string folder = sample::ModuleFolder(g_module);
  const std::string text =
      folder.empty() ? std::string() : sample::ReadSmallFile(folder + kFaultFile);
  return text + "\n" + sample::EnvironmentText(kFaultVariable);
}

#if defined(VORREL_FAULT_LAB_ONLY)
const std::vector<std::size_t> kOffered = {sample::kFaultLabIndex};
#elif defined(VORREL_FLATBED_ONLY)
const std::vector<std::size_t> kOffered = {0};
#else
const std::vector<std::size_t> kOffered = {0, sample::kFaultLabIndex};
#endif

sample::SourceModule& Module() {
  static sample::SourceModule module(
      [](const TW_ENTRYPOINT* entryPoint) {
        return std::make_unique<sample::Win32Host>(g_module, entryPoint);
      },
      FaultText, kOffered);
  static const bool traced = [] {
    const std::string path = sample::EnvironmentText(kTraceVariable);
    if (!path.empty())
      module.SetTrace([path](const std::string& line) { sample::AppendTraceLine(path, line); });
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

// The list of misbehaviours, for programs that want it as text.
__declspec(dllexport) const char* FaultLabHelpText() {
  static const std::string text = sample::FaultLabHelp();
  return text.c_str();
}

// rundll32 vorrel_sample.ds,FaultLabHelp
__declspec(dllexport) void CALLBACK FaultLabHelp(HWND window, HINSTANCE, LPSTR, int) {
  MessageBoxA(window, FaultLabHelpText(), "Sample Fault Lab", MB_OK | MB_ICONINFORMATION);
}
}
