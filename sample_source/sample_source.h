// One open Sample Source: its TWAIN state (4 to 7), its settings and the
// answer to every triplet an application sends it. The triplets it knows,
// and the states each is allowed in, are one table.
#pragma once

#include <memory>
#include <string>

#include "sample_source/device_settings.h"
#include "sample_source/fault_lab.h"
#include "sample_source/source_host.h"
#include "twain/twain.h"

namespace sample {

class SampleSource {
 public:
  SampleSource(const TW_IDENTITY& identity, const TW_IDENTITY& application,
               std::unique_ptr<SourceHost> host, FaultSelection faults);
  ~SampleSource();
  SampleSource(const SampleSource&) = delete;
  SampleSource& operator=(const SampleSource&) = delete;

  TW_UINT16 Entry(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

  // The scan dialog's buttons.
  void OnUserScan();
  void OnUserCancel();

  int state() const { return state_; }
  TW_UINT16 condition() const { return condition_; }
  int pending() const { return pending_; }
  const DeviceSettings& settings() const { return settings_; }
  const TW_IDENTITY& identity() const { return identity_; }
  const FaultSelection& faults() const { return faults_; }

 private:
  using Handler = TW_UINT16 (SampleSource::*)(TW_UINT16 msg, TW_MEMREF data);
  struct Rule {
    TW_UINT32 dg;
    TW_UINT16 dat;
    TW_UINT16 msg;
    int minState;
    int maxState;
    bool needsData;
    Handler handler;
  };
  static const Rule kRules[];
  enum class Transfer { kNone, kNative, kMemory, kMemoryDone, kFile };

  TW_UINT16 Fail(TW_UINT16 cc);

  TW_UINT16 Capability(TW_UINT16 msg, TW_MEMREF data);
  // The Fault Lab's overrun: bytes written past the record's published size.
  void WritePastRecord(TW_UINT16 dat, TW_MEMREF data, std::uint32_t bytes);
  void MisbehaveInGet(TW_UINT16 code);
  TW_UINT16 ProcessEvent(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 PendingXfers(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 SetupMemXfer(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 SetupFileXfer(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 Status(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 UserInterface(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 ImageInfo(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 ImageLayout(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 Palette8(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 NativeXfer(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 MemXfer(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 FileXfer(TW_UINT16 msg, TW_MEMREF data);

  void StartJob();
  void Notify(TW_UINT16 message);
  void EndJobImage();
  TW_UINT16 ReportedPending() const;
  std::string DefaultFileName(TW_UINT16 format) const;
  int Page() const { return pagesDone_ + 1; }

  TW_IDENTITY identity_;
  TW_IDENTITY application_;
  std::unique_ptr<SourceHost> host_;
  FaultSelection faults_;
  DeviceSettings settings_;
  int state_ = 4;
  TW_UINT16 condition_ = TWCC_SUCCESS;
  bool showUI_ = false;
  platform::WindowHandle parent_ = nullptr;
  TW_UINT16 pendingEvent_ = MSG_NULL;
  int pending_ = 0;
  int pagesDone_ = 0;
  Transfer transfer_ = Transfer::kNone;
  int nextRow_ = 0;
  int stripsSent_ = 0;
  std::string fileName_;  // empty: the default name
};

}  // namespace sample
