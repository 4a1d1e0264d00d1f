// The Windows and system directories and a file-existence test.
#pragma once

#include <cstddef>

namespace platform {

// Copies the directory (no trailing backslash unless it is a drive root) into
// buffer, terminated; returns its length, or 0 when it does not fit or fails.
std::size_t WindowsDirectory(char* buffer, std::size_t capacity);
std::size_t SystemDirectory(char* buffer, std::size_t capacity);
// True when a file of that name exists; the file is not opened for use.
bool FileExists(const char* path);

}  // namespace platform
