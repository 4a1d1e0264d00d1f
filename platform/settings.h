// Per-user integer settings: HKCU\Software\<company>\<program>\<section> on
// Windows, a file or memory on the host.
#pragma once

namespace platform {

void SetSettingsLocation(const char* company, const char* program);
int ReadSettingInt(const char* section, const char* key, int fallback);
bool WriteSettingInt(const char* section, const char* key, int value);

}  // namespace platform
