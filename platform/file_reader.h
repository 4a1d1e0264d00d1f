// Plain reading of files (image files, files a Source wrote).
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

using FileHandle = void*;

// Opens an existing file for reading; others may read it but not write it
// while it is open. Null on failure.
FileHandle OpenFileForReading(const char* path);
// Reads up to `bytes` bytes at the current position; returns how many arrived.
std::size_t ReadFileBytes(FileHandle file, void* buffer, std::size_t bytes);
// Moves the position to `offset` bytes from the start.
bool SeekFile(FileHandle file, std::uint64_t offset);
// The file's length in bytes as the file system reports it; -1 on failure.
std::int64_t FileLength(FileHandle file);
// Null is ignored.
void CloseFile(FileHandle file);

// Owns one open file for its scope.
class OpenedFile {
 public:
  explicit OpenedFile(const char* path) : file_(OpenFileForReading(path)) {}
  ~OpenedFile() { CloseFile(file_); }
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;

  FileHandle get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }

 private:
  FileHandle file_;
};

}  // namespace platform
