// Settings live under HKCU\Software\<company>\<program>\<section>.
#include "platform/settings.h"

#include <windows.h>

#include <string>

namespace platform {
namespace {

std::string g_root;

// Owns an open registry key.
class RegistryKey {
 public:
  RegistryKey(const std::string& path, bool create) {
    LONG status = create ? RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                           KEY_READ | KEY_WRITE, nullptr, &key_, nullptr)
                         : RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key_);
    if (status != ERROR_SUCCESS) key_ = nullptr;
  }
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::string SectionPath(const char* section) {
  return g_root + "\\" + (section ? section : "");
}

}  // namespace

void SetSettingsLocation(const char* company, const char* program) {
  g_root = std::string("Software\\") + (company ? company : "") + "\\" + (program ? program : "");
}

int ReadSettingInt(const char* section, const char* key, int fallback) {
  if (g_root.empty()) return fallback;
  RegistryKey reg(SectionPath(section), false);
  if (!reg.get()) return fallback;
  DWORD value = 0, type = 0, size = sizeof(value);
  if (RegQueryValueExA(reg.get(), key, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return fallback;
  }
  return static_cast<int>(value);
}

bool WriteSettingInt(const char* section, const char* key, int value) {
  if (g_root.empty()) return false;
  RegistryKey reg(SectionPath(section), true);
  if (!reg.get()) return false;
  DWORD data = static_cast<DWORD>(value);
  return RegSetValueExA(reg.get(), key, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof(data)) == ERROR_SUCCESS;
}

}  // namespace platform
