// EnumCaps: finds which capabilities the open Source answers, in three
// scans (the standard codes, the custom range, and what the Source lists in
// CAP_SUPPORTEDCAPS), each under a fault guard. A fault inside the Source
// ends the run with a report and the library's hard reset, so the probe
// survives the Source.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/handles.h"

// The capability list of the Capabilities page, kept sorted by its text.
class CapabilityListView {
 public:
  virtual ~CapabilityListView() = default;
  virtual void ClearCapabilities() = 0;
  virtual void EnableCapabilities(bool enabled) = 0;
  virtual void AddCapability(std::string_view text, int code) = 0;
  // Whether an entry's text begins with prefix, ignoring case.
  virtual bool HasCapabilityBeginning(std::string_view prefix) = 0;
  // Selects the first entry and shows its capability.
  virtual void SelectFirstCapability() = 0;
};

// Where the run is, read by the fault report; kept between runs.
struct ContainerHandle;

struct EnumerationProgress {
  std::uint32_t nCap = 0;
  const char* action = "TWAIN_State";
  bool faulted = false;
  std::uint32_t faultCode = 0;
  // The container a scan holds while it asks the Source more: a fault there
  // leaves it to the fault report to free.
  ContainerHandle* held = nullptr;
  // When the run began: a run too short for anyone to watch writes no
  // progress lines at all.
  std::uint32_t runStart = 0;
};
EnumerationProgress& EnumProgress();
void ResetEnumerationProgress();

// CAP_DEVICEONLINE on a Source whose product name contains "Visioneer":
// never asked.
bool IsRefusedCapability(int cap);

// The standard scan's upper bound and the custom range.
constexpr std::uint32_t kLastStandardCode = 0x11FF;
constexpr std::uint32_t kCustomCodes = 256;
// Scans write a progress line at most this often, so the log is not
// redrawn once per code of the ten thousand triplets.
constexpr std::uint32_t kProgressIntervalMs = 50;

// The message's last words: who to tell.
constexpr const char* kSupportContact = "support@kandrith.com";
std::string EnumFaultText(const char* productName, std::uint32_t cap, const char* action);

void EnumCaps(CapabilityListView& list, platform::WindowHandle owner);
