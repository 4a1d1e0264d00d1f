// The common dialogs that ask the user for a file to open or to save to.
#pragma once

#include <cstddef>

#include "platform/handles.h"

namespace platform {

struct FileFilter {
  const char* description;  // "Windows Bitmaps (*.bmp)"
  const char* patterns;     // "*.bmp"
};

// Shows the dialog (read-only box hidden, overwrite prompt, no read-only
// return) and copies the chosen path, terminated, into name. The name of at
// most capacity - 1 characters is also the initial text. False when the user
// cancels or the dialog fails. defaultExtension may be null.
bool AskOpenFileName(WindowHandle owner, const FileFilter* filters, std::size_t filterCount,
                     const char* defaultExtension, char* name, std::size_t capacity);
// The same for a file to write: the path need not exist, only its folder.
bool AskSaveFileName(WindowHandle owner, const FileFilter* filters, std::size_t filterCount,
                     const char* defaultExtension, char* name, std::size_t capacity);

}  // namespace platform
