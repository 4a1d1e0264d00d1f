#include "platform/directories.h"

#include <windows.h>

namespace platform {
namespace {

std::size_t Checked(UINT length, std::size_t capacity) {
  // A result at or above the capacity is the size the text would need.
  return length == 0 || length >= capacity ? 0 : length;
}

}  // namespace

std::size_t WindowsDirectory(char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  return Checked(GetWindowsDirectoryA(buffer, static_cast<UINT>(capacity)), capacity);
}

std::size_t SystemDirectory(char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  return Checked(GetSystemDirectoryA(buffer, static_cast<UINT>(capacity)), capacity);
}

bool FileExists(const char* path) {
  if (!path || !*path) return false;
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace platform
