#include "platform/host/host_reset.h"

#include <cctype>

#include "platform/host/host_platform.h"

namespace platform::host {

void ResetPlatform() {
  ResetGdiBitmaps();  // before the blocks they hold go
  ResetMemory();
  ResetModules();
  ResetDirectories();
  ResetMessageQueue();
  ResetMessageBoxes();
  ResetDebugOutput();
  ResetTickCount();
  ResetSettings();
  ResetOpenFileDialog();
  ResetJpegDecoder();
  ResetDibRenderer();
  ResetFileReader();
  ResetProcessMemory();
}

std::string FoldPath(const std::string& path) {
  std::string folded = path;
  for (char& c : folded) {
    c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return folded;
}

}  // namespace platform::host
