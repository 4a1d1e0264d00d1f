#include "platform/file_reader.h"

#include <windows.h>

namespace platform {

FileHandle OpenFileForReading(const char* path) {
  if (!path || !*path) return nullptr;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

std::size_t ReadFileBytes(FileHandle file, void* buffer, std::size_t bytes) {
  if (!file || !buffer) return 0;
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < bytes) {
    // ReadFile takes at most a DWORD at a time.
    DWORD chunk = bytes - done > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes - done);
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(file), out + done, chunk, &got, nullptr) || got == 0) break;
    done += got;
  }
  return done;
}

bool SeekFile(FileHandle file, std::uint64_t offset) {
  if (!file) return false;
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(static_cast<HANDLE>(file), position, nullptr, FILE_BEGIN) != 0;
}

std::int64_t FileLength(FileHandle file) {
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(static_cast<HANDLE>(file), &size)) return -1;
  return size.QuadPart;
}

void CloseFile(FileHandle file) {
  if (file) CloseHandle(static_cast<HANDLE>(file));
}

}  // namespace platform
