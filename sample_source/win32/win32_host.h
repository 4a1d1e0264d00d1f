// The Sample Source's host on Windows: the Source Manager reached through
// DAT_ENTRYPOINT or the loaded Manager DLL, the scan dialog, the queue.
#pragma once

#include <windows.h>

#include <string>

#include "sample_source/source_host.h"

namespace sample {

// What a Source DLL reads of its settings: an environment variable (empty
// when unset or too long), a small file (its first 64 KiB), the folder the
// DLL lies in (ending in its separator), and the Source's own trace lines
// appended to the file the variable names.
std::string EnvironmentText(const char* name);
std::string ReadSmallFile(const std::string& path);
std::string ModuleFolder(HINSTANCE module);
void AppendTraceLine(const std::string& path, const std::string& line);

class Win32Host : public SourceHost {
 public:
  Win32Host(HINSTANCE module, const TW_ENTRYPOINT* entryPoint);
  ~Win32Host() override;

  bool NotifyManager(TW_IDENTITY& source, TW_IDENTITY& application, TW_UINT16 msg) override;
  void WakeApplication(platform::WindowHandle parent) override;
  void ShowScanDialog(SampleSource& source, platform::WindowHandle parent) override;
  void CloseScanDialog() override;
  bool TakeDialogMessage(const void* message) override;
  void PumpMessages() override;
  void Misbehave(Misbehaviour m, std::uint32_t arg) override;
  std::string TransferDirectory() override;
  platform::MemoryHandle MakeGdiBitmap(platform::MemoryHandle dib) override;

 private:
  HINSTANCE module_;
  DSMENTRYPROC managerEntry_ = nullptr;
  HWND dialog_ = nullptr;
  // Holds the last GDI bitmap made, selected, until the next one or the end.
  HDC bitmapDc_ = nullptr;
  HGDIOBJ firstBitmap_ = nullptr;
};

}  // namespace sample
