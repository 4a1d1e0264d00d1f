#include "platform/module.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace platform {

ModuleHandle LoadModule(const char* path) {
  return path ? LoadLibraryA(path) : nullptr;
}

void* FindSymbol(ModuleHandle module, const char* name) {
  if (!module || !name) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadModule(ModuleHandle module) {
  if (module) FreeLibrary(static_cast<HMODULE>(module));
}

std::string LastLoadError() {
  const DWORD code = GetLastError();
  if (code == 0) return {};
  char text[256] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, text, sizeof(text), nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == ' ' || text[length - 1] == '.')) {
    text[--length] = '\0';
  }
  char result[300];
  std::snprintf(result, sizeof(result), "error %lu%s%s", static_cast<unsigned long>(code),
                length > 0 ? ": " : "", text);
  return result;
}

std::string FileVersion(const char* path) {
  if (!path) return {};
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return {};
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path, 0, size, data.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT infoSize = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &infoSize) || !info ||
      infoSize < sizeof(VS_FIXEDFILEINFO) || info->dwSignature != 0xFEEF04BD) {
    return {};
  }
  char text[64];
  std::snprintf(text, sizeof(text), "%lu.%lu.%lu.%lu",
                static_cast<unsigned long>(HIWORD(info->dwFileVersionMS)),
                static_cast<unsigned long>(LOWORD(info->dwFileVersionMS)),
                static_cast<unsigned long>(HIWORD(info->dwFileVersionLS)),
                static_cast<unsigned long>(LOWORD(info->dwFileVersionLS)));
  return text;
}

ModuleHandle ProgramModule() {
  return GetModuleHandleA(nullptr);
}

}  // namespace platform
