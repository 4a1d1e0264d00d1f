#include "replay/replay_module.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "trace/trace_reader.h"
#include "vocab/triplet_text.h"

namespace replay {
namespace {

void CopyText(char (&field)[34], std::string_view text) {
  std::memset(field, 0, sizeof(field));
  std::memcpy(field, text.data(), std::min(text.size(), sizeof(field) - 1));
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

ReplaySettings ParseSettingsText(std::string_view text) {
  ReplaySettings settings;
  bool first = true;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.substr(0, 5) == "name=") {
      settings.productName = std::string(Trimmed(line.substr(5)));
    } else if (first) {
      settings.tracePath = std::string(line);
      first = false;
    }
  }
  return settings;
}

TW_IDENTITY ReplayIdentity(const TW_IDENTITY& recorded, const std::string& path,
                           const std::string& name) {
  TW_IDENTITY identity = recorded;
  const std::size_t slash = path.find_last_of("\\/");
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  CopyText(identity.Version.Info, "replay " + file);
  if (!name.empty()) CopyText(identity.ProductName, name);
  // Fields a damaged or hostile trace left unterminated end within their bytes.
  identity.Manufacturer[sizeof(identity.Manufacturer) - 1] = 0;
  identity.ProductFamily[sizeof(identity.ProductFamily) - 1] = 0;
  identity.ProductName[sizeof(identity.ProductName) - 1] = 0;
  return identity;
}

ReplayModule::ReplayModule(HostFactory hostFactory, SettingsReader settings)
    : hostFactory_(std::move(hostFactory)), settings_(std::move(settings)) {}

void ReplayModule::Note(const std::string& line) const {
  if (trace_) trace_(line);
}

bool ReplayModule::Load() {
  chosen_ = settings_ ? settings_() : ReplaySettings{};
  if (book_ && loadedPath_ == chosen_.tracePath) return true;
  book_.reset();
  if (chosen_.tracePath.empty()) {
    loadError_ = "replay: no trace chosen (VORREL_REPLAY, or vorrel_replay.txt beside the Source)";
    return false;
  }
  const TraceReadResult read = ReadTraceFile(chosen_.tracePath);
  if (!read.trace) {
    loadError_ = "replay: " + chosen_.tracePath + ": " + read.error;
    return false;
  }
  std::vector<std::string> notes;
  book_ = std::make_shared<const ReplayBook>(ReplayBook::FromTrace(*read.trace, &notes));
  loadedPath_ = chosen_.tracePath;
  loadError_.clear();
  Note("replay: " + chosen_.tracePath + ": " + std::to_string(book_->images().size()) +
       " image(s)");
  for (const std::string& note : notes) Note("replay: " + note);
  return true;
}

TW_IDENTITY ReplayModule::Offered() const {
  if (book_) return ReplayIdentity(book_->identity(), loadedPath_, chosen_.productName);
  TW_IDENTITY identity{};
  identity.Version.MajorNum = 1;
  identity.Version.Language = TWLG_USA;
  identity.Version.Country = TWCY_USA;
  CopyText(identity.Version.Info, "replay: no trace");
  identity.ProtocolMajor = 1;
  identity.ProtocolMinor = 9;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  CopyText(identity.Manufacturer, "Kandrith");
  CopyText(identity.ProductFamily, "Vorrel Replay Source");
  CopyText(identity.ProductName,
           chosen_.productName.empty() ? std::string(kReplayProductName) : chosen_.productName);
  return identity;
}

TW_IDENTITY ReplayModule::Listed() {
  Load();
  return Offered();
}

TW_UINT16 ReplayModule::Open(const TW_IDENTITY* origin, TW_IDENTITY* requested) {
  if (!Load()) {
    Note(loadError_);
    return Fail(TWCC_OPERATIONERROR);
  }
  TW_IDENTITY identity = Offered();
  identity.Id = requested->Id;
  const TW_IDENTITY application = origin ? *origin : TW_IDENTITY{};
  std::unique_ptr<sample::SourceHost> host = hostFactory_(entryPoint());
  if (!host) return Fail(TWCC_LOWMEMORY);
  // The Manager opens only a Source it holds closed, so a session left here
  // belongs to an application that abandoned it.
  sessions_[application.Id] =
      std::make_unique<ReplaySource>(book_, identity, application, std::move(host),
                                     [this](const std::string& line) { Note("replay: " + line); });
  *requested = identity;
  return TWRC_SUCCESS;
}

}  // namespace replay
