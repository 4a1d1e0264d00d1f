// "Save Image...": the shown bitmap as a Windows bitmap file, or as PNG.
#pragma once

#include <windows.h>

#include "imaging/dib.h"

// Chooses the format by the name's extension (".png": PNG, else bitmap).
bool SaveImageFile(const char* path, DibHandle handle);
// Asks for a file name and saves; a failure is shown in a message box.
void AskAndSaveImage(HWND owner, DibHandle handle);
