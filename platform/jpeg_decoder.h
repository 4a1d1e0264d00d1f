// The JPEG decoder of the platform (the Windows Imaging Component on Windows,
// libjpeg-turbo on the host). Failures are negative numbers.
#pragma once

#include <cstddef>

namespace platform {

constexpr int kJpegBadHeader = -1;    // not a JPEG, or its parameters cannot be read
constexpr int kJpegBadData = -2;      // the pixels cannot be decoded
constexpr int kJpegNoResources = -3;  // the decoder could not get what it needs

// Creates the process's decoder; true when it is (now) usable.
bool JpegDecoderOpen();
void JpegDecoderClose();

struct JpegImageInfo {
  int width = 0;
  int height = 0;
  int channels = 0;  // components in the file: 1 gray, 3 colour, 4 CMYK
};

// One decoding of one whole JPEG file held in memory.
struct JpegDecoding;

// Reads the image parameters. On 0, *decoding is set and must be given to
// JpegEnd; on failure (negative) nothing is left to end.
int JpegBegin(const void* bytes, std::size_t length, JpegDecoding** decoding, JpegImageInfo* info);
// Decodes the picture into rows of info.width pixels: blue, green, red for 3
// channels, gray for 1 (any other count fails). `top` is the picture's top
// row; each next row lies `stride` bytes further (negative: bottom-up).
int JpegReadImage(JpegDecoding* decoding, unsigned char* top, std::ptrdiff_t stride);
void JpegEnd(JpegDecoding* decoding);

}  // namespace platform
