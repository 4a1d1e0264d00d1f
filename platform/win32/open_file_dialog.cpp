#include "platform/open_file_dialog.h"

#include <windows.h>

#include <commdlg.h>

#include <string>

namespace platform {

namespace {

bool AskFileName(bool save, WindowHandle owner, const FileFilter* filters, std::size_t filterCount,
                 const char* defaultExtension, char* name, std::size_t capacity) {
  if (!name || capacity == 0) return false;
  // The dialog takes the filters as one list of NUL-separated pairs ending in two NULs.
  std::string filterList;
  for (std::size_t i = 0; i < filterCount; ++i) {
    filterList.append(filters[i].description).push_back('\0');
    filterList.append(filters[i].patterns).push_back('\0');
  }
  filterList.push_back('\0');

  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = static_cast<HWND>(owner);
  dialog.lpstrFilter = filterList.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name;
  dialog.nMaxFile = static_cast<DWORD>(capacity);
  dialog.lpstrDefExt = defaultExtension;
  dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN;
  if (save) {
    dialog.Flags |= OFN_PATHMUSTEXIST;
    return GetSaveFileNameA(&dialog) != 0;
  }
  return GetOpenFileNameA(&dialog) != 0;
}

}  // namespace

bool AskOpenFileName(WindowHandle owner, const FileFilter* filters, std::size_t filterCount,
                     const char* defaultExtension, char* name, std::size_t capacity) {
  return AskFileName(false, owner, filters, filterCount, defaultExtension, name, capacity);
}

bool AskSaveFileName(WindowHandle owner, const FileFilter* filters, std::size_t filterCount,
                     const char* defaultExtension, char* name, std::size_t capacity) {
  return AskFileName(true, owner, filters, filterCount, defaultExtension, name, capacity);
}

}  // namespace platform
