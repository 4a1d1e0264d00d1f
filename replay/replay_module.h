// The Replay Source as the Source Manager sees it: the identity it offers
// (the recorded Source's, marked as a replay), the trace it reads when it is
// opened, and the routing of every DS_Entry call to the calling
// application's session.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "replay/replay_book.h"
#include "replay/replay_source.h"
#include "sample_source/module_routing.h"
#include "sample_source/source_host.h"
#include "twain/twain.h"

namespace replay {

constexpr const char* kReplayProductName = "Vorrel Replay";

// Which trace to play and under what name.
struct ReplaySettings {
  std::string tracePath;
  std::string productName;  // empty: the recorded Source's
};

// vorrel_replay.txt: the trace's path on the first line, optionally a
// `name=...` line; blank lines and lines starting with '#' are skipped.
ReplaySettings ParseSettingsText(std::string_view text);

// The identity offered for a trace read from `path`: the recorded one, its
// Version.Info saying it is a replay of the file, ProductName `name` unless empty.
TW_IDENTITY ReplayIdentity(const TW_IDENTITY& recorded, const std::string& path,
                           const std::string& name);

class ReplayModule : public sample::ModuleRouting<ReplaySource> {
 public:
  using HostFactory =
      std::function<std::unique_ptr<sample::SourceHost>(const TW_ENTRYPOINT* entryPoint)>;
  using SettingsReader = std::function<ReplaySettings()>;

  ReplayModule(HostFactory hostFactory, SettingsReader settings);

  // SetTrace: a line per triplet received and its answer, and the replay's own notes.

 protected:
  TW_IDENTITY Listed() override;
  TW_UINT16 Open(const TW_IDENTITY* origin, TW_IDENTITY* requested) override;

 private:
  // Reads the chosen trace, again only when the choice changed or it failed.
  bool Load();
  TW_IDENTITY Offered() const;
  void Note(const std::string& line) const;

  HostFactory hostFactory_;
  SettingsReader settings_;
  ReplaySettings chosen_;
  std::shared_ptr<const ReplayBook> book_;
  std::string loadedPath_;
  std::string loadError_;
};

}  // namespace replay
