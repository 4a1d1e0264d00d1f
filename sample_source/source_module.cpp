#include "sample_source/source_module.h"

#include <cstdio>
#include <cstring>

#include "sample_source/fault_lab.h"
#include "vocab/triplet_text.h"

namespace sample {
namespace {

void CopyText(char (&field)[34], const char* text) {
  std::memset(field, 0, sizeof(field));
  std::strncpy(field, text, sizeof(field) - 2);
}

const char* const kProductNames[kSourceCount] = {kFlatbedName, kFaultLabName};

}  // namespace

// The index of the offered Source a MSG_OPENDS names; the default when none matches.
std::size_t SourceModule::IndexByName(const TW_IDENTITY& identity) const {
  for (std::size_t i : offered_) {
    if (std::strncmp(identity.ProductName, kProductNames[i], sizeof(identity.ProductName)) == 0) {
      return i;
    }
  }
  return offered_.front();
}

TW_IDENTITY SourceIdentity(std::size_t index) {
  TW_IDENTITY identity{};
  identity.Version.MajorNum = 1;
  identity.Version.MinorNum = 0;
  identity.Version.Language = TWLG_USA;
  identity.Version.Country = TWCY_USA;
  CopyText(identity.Version.Info, "1.0 Vorrel TWAIN Probe sample");
  identity.ProtocolMajor = 1;
  identity.ProtocolMinor = 9;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  CopyText(identity.Manufacturer, "Kandrith");
  CopyText(identity.ProductFamily, "Vorrel Sample Source");
  CopyText(identity.ProductName, kProductNames[index < kSourceCount ? index : 0]);
  return identity;
}

SourceModule::SourceModule(HostFactory hostFactory, FaultText faultText,
                           std::vector<std::size_t> offered)
    : hostFactory_(std::move(hostFactory)), faultText_(std::move(faultText)) {
  for (std::size_t index : offered) {
    if (index < kSourceCount) offered_.push_back(index);
  }
  if (offered_.empty()) offered_.push_back(0);
}

void SourceModule::Received(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
  if (dat != DAT_STATUS && !(dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_GET)) {
    listed_ = 0;
  }
}

// The identities go in turn, one per MSG_GET. The first one again ends the
// listing: a Manager stops at a name it has seen, and its next listing
// starts afresh.
TW_IDENTITY SourceModule::Listed() {
  const TW_IDENTITY identity = SourceIdentity(offered_[listed_ % offered_.size()]);
  listed_ = listed_ == offered_.size() ? 0 : listed_ + 1;
  return identity;
}

TW_UINT16 SourceModule::Open(const TW_IDENTITY* origin, TW_IDENTITY* requested) {
  const std::size_t index = IndexByName(*requested);
  TW_IDENTITY identity = SourceIdentity(index);
  identity.Id = requested->Id;
  const TW_IDENTITY application = origin ? *origin : TW_IDENTITY{};
  FaultSelection faults;
  if (index == kFaultLabIndex && faultText_) faults = ParseFaults(faultText_()).selection;
  std::unique_ptr<SourceHost> host = hostFactory_(entryPoint());
  if (!host) return Fail(TWCC_LOWMEMORY);
  // The Manager opens only a Source it holds closed, so a session left here
  // belongs to an application that abandoned it (a hard reset after a fault).
  sessions_[application.Id] =
      std::make_unique<SampleSource>(identity, application, std::move(host), faults);
  *requested = identity;
  return TWRC_SUCCESS;
}

}  // namespace sample
