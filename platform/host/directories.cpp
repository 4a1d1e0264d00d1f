#include "platform/directories.h"

#include <sys/stat.h>

#include <cstring>
#include <set>
#include <string>

#include "platform/host/host_platform.h"
#include "platform/host/host_reset.h"

namespace platform {
namespace {

struct DirectoryRecord {
  std::string windows = "C:\\WINDOWS";
  std::string system = "C:\\WINDOWS\\system32";
  bool fail = false;
  std::set<std::string> files;  // folded paths
};

DirectoryRecord& Record() {
  static DirectoryRecord record;
  return record;
}

std::size_t CopyOut(const std::string& text, char* buffer, std::size_t capacity) {
  if (Record().fail || !buffer || text.size() + 1 > capacity) return 0;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return text.size();
}

}  // namespace

std::size_t WindowsDirectory(char* buffer, std::size_t capacity) {
  return CopyOut(Record().windows, buffer, capacity);
}

std::size_t SystemDirectory(char* buffer, std::size_t capacity) {
  return CopyOut(Record().system, buffer, capacity);
}

bool FileExists(const char* path) {
  if (!path || !*path) return false;
  if (Record().files.count(host::FoldPath(path))) return true;
  struct stat info {};
  return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

namespace host {

void SetWindowsDirectory(const std::string& text) {
  Record().windows = text;
}
void SetSystemDirectory(const std::string& text) {
  Record().system = text;
}
void FailDirectoryQueries(bool fail) {
  Record().fail = fail;
}
void AddFile(const std::string& path) {
  Record().files.insert(FoldPath(path));
}
void RemoveFile(const std::string& path) {
  Record().files.erase(FoldPath(path));
}
void ResetDirectories() {
  Record() = DirectoryRecord{};
}

}  // namespace host
}  // namespace platform
