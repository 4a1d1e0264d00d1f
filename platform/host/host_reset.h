// Each host service resets its own record; ResetPlatform calls them all.
#pragma once

#include <string>

namespace platform::host {

void ResetMemory();
void ResetModules();
void ResetDirectories();
void ResetMessageQueue();
void ResetMessageBoxes();
void ResetDebugOutput();
void ResetTickCount();
void ResetSettings();
void ResetOpenFileDialog();
void ResetJpegDecoder();
void ResetDibRenderer();
void ResetFileReader();
void ResetProcessMemory();
void ResetGdiBitmaps();

// Windows compares paths without regard to case.
std::string FoldPath(const std::string& path);

}  // namespace platform::host
