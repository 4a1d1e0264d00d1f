// The host has no PNG encoder: the probe saves PNG on Windows only.
#include "platform/png_writer.h"

namespace platform {

bool WritePngFile(const char*, const PngPicture&) {
  return false;
}

}  // namespace platform
