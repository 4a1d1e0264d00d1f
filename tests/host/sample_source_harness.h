// A Sample Source opened through its module as a Source Manager would open
// it, with a host that records what the Source asks of the machine.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "sample_source/container_io.h"
#include "sample_source/source_module.h"

namespace sample_test {

// A copy of a field of a packed record, which test macros cannot bind to.
template <class T>
T Val(T value) {
  return value;
}

struct HostRecord {
  std::vector<TW_UINT16> notified;  // DAT_NULL messages, in order
  bool deliver = true;              // whether the "Manager" takes them
  int wakes = 0;
  int dialogsShown = 0;
  int dialogsClosed = 0;
  bool dialogOpen = false;
  int pumps = 0;
  std::vector<std::pair<sample::Misbehaviour, std::uint32_t>> misbehaved;
  const TW_ENTRYPOINT* entryPoint = nullptr;
};

class RecordingHost : public sample::SourceHost {
 public:
  RecordingHost(HostRecord& record, const TW_ENTRYPOINT* entryPoint) : record_(record) {
    record_.entryPoint = entryPoint;
  }
  bool NotifyManager(TW_IDENTITY&, TW_IDENTITY&, TW_UINT16 msg) override {
    record_.notified.push_back(msg);
    return record_.deliver;
  }
  void WakeApplication(platform::WindowHandle) override { ++record_.wakes; }
  void ShowScanDialog(sample::SampleSource&, platform::WindowHandle) override {
    ++record_.dialogsShown;
    record_.dialogOpen = true;
  }
  void CloseScanDialog() override {
    if (record_.dialogOpen) ++record_.dialogsClosed;
    record_.dialogOpen = false;
  }
  bool TakeDialogMessage(const void*) override { return false; }
  void PumpMessages() override { ++record_.pumps; }
  void Misbehave(sample::Misbehaviour m, std::uint32_t arg) override {
    record_.misbehaved.emplace_back(m, arg);
  }
  std::string TransferDirectory() override { return testing::TempDir(); }
  platform::MemoryHandle MakeGdiBitmap(platform::MemoryHandle) override { return nullptr; }

 private:
  HostRecord& record_;
};

// A capability answer copied out of the Source's block (which is freed).
struct Answer {
  TW_UINT16 rc = TWRC_FAILURE;
  TW_UINT16 conType = 0;
  sample::Bytes bytes;

  template <class T>
  T At(std::size_t offset) const {
    T value{};
    if (offset + sizeof(T) <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
  }
  TW_UINT16 ItemType() const { return At<TW_UINT16>(0); }
};

class Harness {
 public:
  explicit Harness(std::string faultText = {},
                   std::vector<std::size_t> offered = {0, sample::kFaultLabIndex})
      : module_(
            [this](const TW_ENTRYPOINT* entry) {
              return std::make_unique<RecordingHost>(host, entry);
            },
            [faultText] { return faultText; }, std::move(offered)) {
    app.Id = 7;
  }

  TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return module_.Entry(&app, dg, dat, msg, data);
  }
  TW_UINT16 Condition() {
    TW_STATUS status{};
    Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    return status.ConditionCode;
  }
  TW_UINT16 Open(const char* name = sample::kFlatbedName) {
    TW_IDENTITY identity{};
    identity.Id = 42;
    std::strncpy(identity.ProductName, name, 32);
    return Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity);
  }
  sample::SampleSource& source() { return *module_.Session(app.Id); }
  sample::SourceModule& module() { return module_; }
  int State() { return module_.Session(app.Id) ? source().state() : 3; }

  TW_UINT16 Enable(bool showUI) {
    TW_USERINTERFACE ui{showUI ? TW_TRUE : TW_FALSE, TW_FALSE, nullptr};
    return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  }
  // A native transfer; the bitmap is returned for the caller to free.
  platform::MemoryHandle Native() {
    TW_HANDLE image = nullptr;
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image), TWRC_XFERDONE);
    return image;
  }
  TW_UINT16 EndXfer(TW_UINT16* count = nullptr) {
    TW_PENDINGXFERS pending{};
    const TW_UINT16 rc = Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    if (count) *count = pending.Count;
    return rc;
  }

  Answer Get(TW_UINT16 msg, TW_UINT16 cap) {
    TW_CAPABILITY record{cap, TWON_DONTCARE16, nullptr};
    Answer answer;
    answer.rc = Call(DG_CONTROL, DAT_CAPABILITY, msg, &record);
    answer.conType = record.ConType;
    if (record.hContainer) {
      platform::MemLockGuard lock(record.hContainer);
      const auto* data = static_cast<const std::uint8_t*>(lock.data());
      answer.bytes.assign(data, data + platform::MemSize(record.hContainer));
    }
    platform::MemFree(record.hContainer);
    return answer;
  }
  // Sets a container whose block holds exactly `bytes`.
  TW_UINT16 Set(TW_UINT16 cap, TW_UINT16 conType, const sample::Bytes& bytes) {
    platform::MemoryHandle block = platform::MemAlloc(bytes.size());
    {
      platform::MemLockGuard lock(block);
      std::memcpy(lock.data(), bytes.data(), bytes.size());
    }
    TW_CAPABILITY record{cap, conType, block};
    const TW_UINT16 rc = Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &record);
    platform::MemFree(block);
    return rc;
  }
  TW_UINT16 SetOne(TW_UINT16 cap, TW_UINT16 itemType, double value) {
    sample::Bytes bytes{static_cast<std::uint8_t>(itemType),
                        static_cast<std::uint8_t>(itemType >> 8)};
    const sample::Bytes item = sample::EncodeNumber(itemType, value);
    bytes.insert(bytes.end(), item.begin(), item.end());
    bytes.resize(std::max<std::size_t>(bytes.size(), 6));
    return Set(cap, TWON_ONEVALUE, bytes);
  }
  double Current(TW_UINT16 cap) {
    const Answer a = Get(MSG_GETCURRENT, cap);
    if (a.bytes.size() < 6) return -99999;
    return sample::DecodeNumber(a.ItemType(), a.bytes.data() + 2);
  }

  TW_IDENTITY app{};
  HostRecord host;

 private:
  sample::SourceModule module_;
};

}  // namespace sample_test
