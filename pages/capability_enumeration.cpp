#include "pages/capability_enumeration.h"

#include <bitset>
#include <cstring>
#include <utility>

#include "caps/capability_calls.h"
#include "caps/logged_operations.h"
#include "caps/set_rules.h"
#include "pages/fault_note.h"
#include "pages/log.h"
#include "platform/fault_guard.h"
#include "platform/message_box.h"
#include "platform/tick_count.h"
#include "session/source_guard.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "vocab/item_types.h"
#include "vocab/number_text.h"
#include "vocab/twain_names.h"

namespace {

EnumerationProgress g_progress;

// The codes given an entry in this run. An entry begins with its own code's
// name, so the supported-caps scan searches the list's texts only for codes
// not listed yet: a Source's list mostly repeats what the first scans found.
std::bitset<0x10000> g_listedCodes;

void Act(const char* action) {
  g_progress.action = action;
}

// Progress lines replace one another; only those a person could see are
// written: none in a scan's first interval, then one per interval.
class ProgressThrottle {
 public:
  bool Due() {
    const std::uint32_t now = platform::TickCount();
    if (now - last_ < kProgressIntervalMs) return false;
    last_ = now;
    return true;
  }

 private:
  std::uint32_t last_ = platform::TickCount();
};

// The existence test: asked and answered, or refused for a reason other
// than not knowing the capability.
bool Exists() {
  Act("TWAIN_GetResultCode");
  const int rc = TWAIN_GetResultCode();
  Act("TWAIN_GetConditionCode");
  const int cc = TWAIN_GetConditionCode();
  if (rc == TWRC_SUCCESS) return true;
  return rc == TWRC_FAILURE && cc != TWCC_BADCAP && cc != TWCC_CAPUNSUPPORTED;
}

ContainerHandle* Hold(ContainerHandle* h) {
  return g_progress.held = h;
}

void FreeContainer(ContainerHandle* h) {
  Act("CONTAINER_Free");
  g_progress.held = nullptr;
  CONTAINER_Free(h);
}

// The name the list shows for a code: a listed name is a static text, only
// the others are built (into built).
std::string_view ListName(std::uint32_t cap, std::string& built) {
  if (const char* known = KnownCapName(static_cast<int>(cap))) return known;
  built = CapName(static_cast<int>(cap));
  return built;
}

void AddNamed(CapabilityListView& list, std::string_view name, std::uint32_t cap) {
  list.AddCapability(name, static_cast<int>(cap));
  if (cap < g_listedCodes.size()) g_listedCodes.set(cap);
}

void AddEntry(CapabilityListView& list, std::uint32_t cap) {
  std::string built;
  AddNamed(list, ListName(cap, built), cap);
}

// The supported-caps scan's prefix test. Its own frame, so the built name is
// gone before anything asks the Source (a fault there abandons frames unwound).
bool Listed(CapabilityListView& list, std::uint32_t cap) {
  if (cap < g_listedCodes.size() && g_listedCodes.test(cap)) return true;
  std::string built;
  return list.HasCapabilityBeginning(ListName(cap, built));
}

void AddAndLearn(CapabilityListView& list, std::uint32_t cap) {
  if (!g_progress.faulted && !IsRefusedCapability(static_cast<int>(cap))) {
    if (ContainerHandle* h = TWAIN_Get(static_cast<TW_UINT16>(cap))) {
      RegisterItemType(cap, static_cast<std::uint32_t>(CONTAINER_ItemType(h)));
      CONTAINER_Free(h);
    }
  }
  AddEntry(list, cap);
}

void StandardScan(CapabilityListView& list) {
  ProgressThrottle progress;
  // Only named codes are asked, so the scan walks the names in code order
  // rather than looking up each of the 4,608 codes. The names are static
  // texts: nothing is left behind if a fault abandons the frame.
  for (const CodeName& row : KnownCapNames()) {
    if (row.code > kLastStandardCode) break;
    g_progress.nCap = row.code;
    if (row.name[0] != 'I' && row.name[0] != 'C') continue;
    if (progress.Due()) LogProgress("TWAIN_Get(%s)", row.name);
    Act("TWAIN_Get (standard)");
    if (IsRefusedCapability(static_cast<int>(row.code))) continue;
    ContainerHandle* h = Hold(TWAIN_Get(static_cast<TW_UINT16>(row.code)));
    if (Exists()) AddNamed(list, row.name, row.code);
    FreeContainer(h);
  }
}

void CustomScan(CapabilityListView& list) {
  ProgressThrottle progress;
  for (g_progress.nCap = CAP_CUSTOMBASE; g_progress.nCap < CAP_CUSTOMBASE + kCustomCodes;
       ++g_progress.nCap) {
    const std::uint32_t cap = g_progress.nCap;
    if (progress.Due()) LogProgress("TWAIN_Get(CAP_CUSTOMBASE+%u)", cap - CAP_CUSTOMBASE);
    Act("TWAIN_Get (custom)");
    ContainerHandle* h = Hold(TWAIN_Get(static_cast<TW_UINT16>(cap)));
    if (Exists()) AddAndLearn(list, cap);
    FreeContainer(h);
  }
}

void SupportedCapsScan(CapabilityListView& list) {
  if (platform::TickCount() - g_progress.runStart >= kProgressIntervalMs) {
    LogProgress("TWAIN_Get(CAP_SUPPORTEDCAPS)");
  }
  Act("TWAIN_Get(CAP_SUPPORTEDCAPS)");
  ContainerHandle* h = Hold(LoggedGet(CAP_SUPPORTEDCAPS));
  if (!h) return;
  Act("CONTAINER_Format");
  if (CONTAINER_Format(h) == TWON_ARRAY) {
    Act("CONTAINER_ItemType");
    if (IsNumberType(CONTAINER_ItemType(h))) {
      Act("CONTAINER_ItemCount");
      // The count is bounded by the block (the container's own reads clamp
      // to it), so a Source that claims more items than it sent is not read past.
      const int count = CONTAINER_ItemCount(h);
      for (int i = 0; i < count; ++i) {
        Act("CONTAINER_IntValue");
        g_progress.nCap = static_cast<std::uint32_t>(CONTAINER_IntValue(h, i));
        if (!Listed(list, g_progress.nCap)) AddAndLearn(list, g_progress.nCap);
      }
    }
  }
  FreeContainer(h);
}

// The guard's report: the two lines, the hard reset, the box.
void ReportFault(const platform::FaultInfo& fault, platform::WindowHandle owner) {
  LogLine("** Exception 0x%08x during EnumCaps **", g_progress.faultCode);
  LogLine("** nCap=%u Call=%s", g_progress.nCap, g_progress.action);
  LogFaultPlace(fault);
  const std::string product = TWAIN_SourceProductName();
  TWAIN_Shutdown();
  TWAIN_Startup();
  const std::string text = EnumFaultText(product.c_str(), g_progress.nCap, g_progress.action);
  platform::InfoBox(owner, text.c_str(), kProgramCaption);
}

// Runs one scan under the guard; false when it ended in a fault.
bool RunScan(void (*scan)(CapabilityListView&), CapabilityListView& list,
             platform::WindowHandle owner) {
  platform::FaultInfo fault;
  platform::GuardOptions options;
  options.dismissOverflow = true;
  if (RunSourceGuarded([&] { scan(list); }, &fault, options)) return true;
  CONTAINER_Free(std::exchange(g_progress.held, nullptr));
  g_progress.faulted = true;
  g_progress.faultCode = fault.code;
  ReportFault(fault, owner);
  return false;
}

}  // namespace

EnumerationProgress& EnumProgress() {
  return g_progress;
}

void ResetEnumerationProgress() {
  g_progress = EnumerationProgress{};
}

bool IsRefusedCapability(int cap) {
  return cap == CAP_DEVICEONLINE && std::strstr(TWAIN_SourceProductName(), "Visioneer") != nullptr;
}

std::string EnumFaultText(const char* productName, std::uint32_t cap, const char* action) {
  return FormatText(
      "An exception (a fatal execution error) occurred during capability enumeration of the "
      "Data Source.\n\nSource: %s\nCapability: %s\nAction: %s\n\nTWAIN is now unstable. Please "
      "exit and report this problem to Kandrith (%s).",
      productName, CapName(static_cast<int>(cap)).c_str(), action, kSupportContact);
}

void EnumCaps(CapabilityListView& list, platform::WindowHandle owner) {
  g_progress.faulted = false;
  list.ClearCapabilities();
  list.EnableCapabilities(false);
  if (TWAIN_State() < 4) {
    LogLine("Can't enumerate capabilities: No open Source");
    return;
  }
  LogLine("Enumerating capabilities...");
  g_listedCodes.reset();
  g_progress.runStart = platform::TickCount();
  bool clean = RunScan(StandardScan, list, owner);
  if (TWAIN_State() == 4) clean = RunScan(CustomScan, list, owner) && clean;
  if (TWAIN_State() == 4) clean = RunScan(SupportedCapsScan, list, owner) && clean;
  if (!clean) return;
  list.EnableCapabilities(true);
  list.SelectFirstCapability();
}
