// What the Sample Source needs from the machine it runs on: the way back to
// the Source Manager, the application's message loop, its dialog and a place
// for files. The DLL implements it with Win32; host tests with a recorder.
#pragma once

#include <cstdint>
#include <string>

#include "platform/handles.h"
#include "sample_source/fault_lab.h"
#include "twain/twain.h"

namespace sample {

class SampleSource;

class SourceHost {
 public:
  virtual ~SourceHost() = default;

  // Sends DG_CONTROL / DAT_NULL / msg from the Source to the application
  // through the Source Manager; false when the Manager did not take it.
  virtual bool NotifyManager(TW_IDENTITY& source, TW_IDENTITY& application, TW_UINT16 msg) = 0;
  // Puts a message in the application's queue so that it soon offers one to
  // the Source with MSG_PROCESSEVENT.
  virtual void WakeApplication(platform::WindowHandle parent) = 0;
  // The "Scan" / "Cancel" dialog of an enabled Source with ShowUI true.
  virtual void ShowScanDialog(SampleSource& source, platform::WindowHandle parent) = 0;
  virtual void CloseScanDialog() = 0;
  // True when the message offered with MSG_PROCESSEVENT belongs to the
  // dialog and was handled (keyboard navigation).
  virtual bool TakeDialogMessage(const void* message) = 0;
  // Dispatches whatever the thread's queue holds (a misbehaviour).
  virtual void PumpMessages() = 0;
  // The Fault Lab's exceptions, faults and hangs, done as a real Source
  // would do them; `arg` is the misbehaviour's first argument (a hang's
  // seconds). Some never return.
  virtual void Misbehave(Misbehaviour m, std::uint32_t arg) = 0;
  // Folder for default transfer file names, ending in its separator.
  virtual std::string TransferDirectory() = 0;
  // A GDI bitmap (HBITMAP) with the packed DIB's picture, kept selected into
  // a device context of the host's (a misbehaviour); null when none can be
  // made. The DIB stays the caller's.
  virtual platform::MemoryHandle MakeGdiBitmap(platform::MemoryHandle dib) = 0;
};

}  // namespace sample
