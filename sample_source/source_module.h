// The DLL as the Source Manager sees it: the identities it offers, the
// sessions it opens and closes, and the routing of every DS_Entry call to the
// open Source of the calling application.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sample_source/module_routing.h"
#include "sample_source/sample_source.h"
#include "sample_source/source_host.h"
#include "twain/twain.h"

namespace sample {

constexpr const char* kFlatbedName = "Sample Flatbed";
constexpr const char* kFaultLabName = "Sample Fault Lab";
constexpr std::size_t kSourceCount = 2;
constexpr std::size_t kFaultLabIndex = 1;

// Identity `index` (0 is the default Source); Id is left 0.
TW_IDENTITY SourceIdentity(std::size_t index);

class SourceModule : public ModuleRouting<SampleSource> {
 public:
  // Makes the host of a new session; `entryPoint` is the Manager's
  // DAT_ENTRYPOINT record, null when none was sent.
  using HostFactory = std::function<std::unique_ptr<SourceHost>(const TW_ENTRYPOINT* entryPoint)>;
  // The Fault Lab's selection text, read when it is opened.
  using FaultText = std::function<std::string()>;

  // `offered`: the indices of the identities this file answers, its
  // default first (each Source ships alone as well, for a Manager that
  // lists one identity per file).
  SourceModule(HostFactory hostFactory, FaultText faultText,
               std::vector<std::size_t> offered = {0, kFaultLabIndex});

 protected:
  TW_IDENTITY Listed() override;
  TW_UINT16 Open(const TW_IDENTITY* origin, TW_IDENTITY* requested) override;
  void Received(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) override;

 private:
  std::size_t IndexByName(const TW_IDENTITY& identity) const;

  HostFactory hostFactory_;
  FaultText faultText_;
  std::vector<std::size_t> offered_;
  std::size_t listed_ = 0;  // MSG_GETs of DAT_IDENTITY answered in this listing
};

}  // namespace sample
