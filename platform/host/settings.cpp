// Host settings: a map, written through to a plain "section\key=value" file
// when one is named.
#include "platform/settings.h"

#include <fstream>
#include <map>
#include <string>

#include "platform/host/host_platform.h"
#include "platform/host/host_reset.h"

namespace platform {
namespace {

struct SettingsRecord {
  std::string location;
  std::string file;
  std::map<std::string, int> values;
};

SettingsRecord& Record() {
  static SettingsRecord record;
  return record;
}

std::string Key(const char* section, const char* key) {
  return Record().location + "\\" + (section ? section : "") + "\\" + (key ? key : "");
}

void Load() {
  SettingsRecord& record = Record();
  if (record.file.empty()) return;
  std::ifstream in(record.file);
  std::string line;
  while (std::getline(in, line)) {
    auto eq = line.rfind('=');
    if (eq == std::string::npos) continue;
    record.values[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
  }
}

bool Save() {
  SettingsRecord& record = Record();
  if (record.file.empty()) return true;
  std::ofstream out(record.file, std::ios::trunc);
  for (auto& [key, value] : record.values) out << key << '=' << value << '\n';
  return static_cast<bool>(out);
}

}  // namespace

void SetSettingsLocation(const char* company, const char* program) {
  Record().location = std::string(company ? company : "") + "\\" + (program ? program : "");
}

int ReadSettingInt(const char* section, const char* key, int fallback) {
  auto it = Record().values.find(Key(section, key));
  return it == Record().values.end() ? fallback : it->second;
}

bool WriteSettingInt(const char* section, const char* key, int value) {
  Record().values[Key(section, key)] = value;
  return Save();
}

namespace host {
void SetSettingsFile(const std::string& path) {
  Record().file = path;
  Record().values.clear();
  Load();
}
void ResetSettings() {
  Record() = SettingsRecord{};
}
}  // namespace host
}  // namespace platform
