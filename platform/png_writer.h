// Writing a picture as a PNG file (the Windows Imaging Component on Windows).
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Rows top-down, `stride` bytes apart: 1, 4 or 8 bits with a table of
// red | green << 8 | blue << 16 entries, or 24 bits blue-green-red.
struct PngPicture {
  int width = 0;
  int height = 0;
  int depth = 0;
  std::size_t stride = 0;
  const unsigned char* rows = nullptr;
  const std::uint32_t* table = nullptr;
  int tableEntries = 0;
};

// False when the file cannot be written, or PNG writing is not available here.
bool WritePngFile(const char* path, const PngPicture& picture);

}  // namespace platform
