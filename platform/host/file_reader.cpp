// Host files are the real files of the machine; share modes do not exist here.
#include "platform/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/host/host_platform.h"
#include "platform/host/host_reset.h"

namespace platform {
namespace {

int g_readsBeforeCut = -1;

// A descriptor is stored as descriptor + 1, so descriptor 0 is not null.
int Descriptor(FileHandle file) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(file)) - 1;
}

}  // namespace

FileHandle OpenFileForReading(const char* path) {
  if (!path || !*path) return nullptr;
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return reinterpret_cast<FileHandle>(static_cast<std::intptr_t>(fd) + 1);
}

std::size_t ReadFileBytes(FileHandle file, void* buffer, std::size_t bytes) {
  if (!file || !buffer) return 0;
  if (g_readsBeforeCut == 0) return 0;
  if (g_readsBeforeCut > 0) --g_readsBeforeCut;
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < bytes) {
    ssize_t got = ::read(Descriptor(file), out + done, bytes - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

bool SeekFile(FileHandle file, std::uint64_t offset) {
  if (!file || offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return ::lseek(Descriptor(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::int64_t FileLength(FileHandle file) {
  struct stat info {};
  if (!file || ::fstat(Descriptor(file), &info) != 0) return -1;
  return info.st_size;
}

void CloseFile(FileHandle file) {
  if (file) ::close(Descriptor(file));
}

namespace host {

void CutFileReadsAfter(int reads) {
  g_readsBeforeCut = reads;
}

void ResetFileReader() {
  g_readsBeforeCut = -1;
}

}  // namespace host
}  // namespace platform
