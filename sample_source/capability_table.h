// Every capability the Sample Source answers: its item type, the container
// its MSG_GET answers with, what values it takes and how a value it does not
// offer is treated. One table; the state machine looks a code up here.
#pragma once

#include <vector>

#include "platform/handles.h"
#include "sample_source/container_io.h"
#include "sample_source/device_settings.h"
#include "twain/twain.h"

namespace sample {

// Custom capabilities: one inside the range applications scan for custom
// codes, one just beyond it that only CAP_SUPPORTEDCAPS reveals.
constexpr TW_UINT16 kCapLampWarmup = CAP_CUSTOMBASE + 0x01;  // TWTY_INT32 seconds, a range
constexpr TW_UINT16 kCapToneCurve = CAP_CUSTOMBASE + 0x100;  // TWTY_UINT16 points, an array

// A container the Source built; the application owns the block.
struct BuiltContainer {
  TW_UINT16 conType = TWON_ONEVALUE;
  platform::MemoryHandle block = nullptr;
};

class Capability {
 public:
  Capability(TW_UINT16 code, TW_UINT16 itemType, bool readOnly)
      : code_(code), itemType_(itemType), readOnly_(readOnly) {}
  virtual ~Capability() = default;

  TW_UINT16 code() const { return code_; }
  TW_UINT16 itemType() const { return itemType_; }
  bool readOnly() const { return readOnly_; }

  // msg is MSG_GET, MSG_GETCURRENT or MSG_GETDEFAULT; a null block means
  // the allocation failed.
  virtual BuiltContainer Get(TW_UINT16 msg, const DeviceSettings& settings) const = 0;
  // Applies a container the application set; never called when read-only.
  virtual Outcome Set(DeviceSettings& settings, const ReceivedContainer& value) const = 0;
  virtual void Reset(DeviceSettings& settings) const = 0;

 private:
  TW_UINT16 code_;
  TW_UINT16 itemType_;
  bool readOnly_;
};

// Null for a code the Source does not support.
const Capability* FindCapability(TW_UINT16 code);
// Every supported code, in table order (the answer of CAP_SUPPORTEDCAPS).
std::vector<TW_UINT16> SupportedCapabilities();
// A standard code of the published list, or a custom one: an unsupported
// capability the Source knows of (TWCC_CAPUNSUPPORTED rather than TWCC_BADCAP).
bool KnownCapabilityCode(TW_UINT16 code);

}  // namespace sample
