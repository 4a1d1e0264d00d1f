// A host that does nothing a window or a Manager would see: for the fuzzers
// and benchmarks that drive a Source with no application around it.
#pragma once

#include <string>
#include <utility>

#include "sample_source/source_host.h"

namespace sample {

class QuietHost : public SourceHost {
 public:
  explicit QuietHost(std::string transferDirectory = "./")
      : transferDirectory_(std::move(transferDirectory)) {}
  bool NotifyManager(TW_IDENTITY&, TW_IDENTITY&, TW_UINT16) override { return true; }
  void WakeApplication(platform::WindowHandle) override {}
  void ShowScanDialog(SampleSource&, platform::WindowHandle) override {}
  void CloseScanDialog() override {}
  bool TakeDialogMessage(const void*) override { return false; }
  void PumpMessages() override {}
  void Misbehave(Misbehaviour, std::uint32_t) override {}
  std::string TransferDirectory() override { return transferDirectory_; }
  platform::MemoryHandle MakeGdiBitmap(platform::MemoryHandle) override { return nullptr; }

 private:
  std::string transferDirectory_;
};

}  // namespace sample
