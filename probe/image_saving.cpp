#include "probe/image_saving.h"

#include <commdlg.h>

#include <strings.h>
#include <cstdio>
#include <cstring>

#include "imaging/bitmap_file.h"
#include "platform/message_box.h"
#include "platform/png_writer.h"
#include "session/triplet_calls.h"

namespace {

bool EndsWith(const char* text, const char* suffix) {
  const std::size_t length = std::strlen(text);
  const std::size_t suffixLength = std::strlen(suffix);
  return length >= suffixLength && strcasecmp(text + length - suffixLength, suffix) == 0;
}

bool WriteBytes(const char* path, const std::vector<unsigned char>& bytes) {
  if (bytes.empty()) return false;
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

bool SaveImageFile(const char* path, DibHandle handle) {
  if (!EndsWith(path, ".png")) return WriteBytes(path, BitmapFileBytes(handle));
  TopDownPicture picture;
  if (!DIB_TopDownPicture(handle, picture)) return false;
  platform::PngPicture png;
  png.width = picture.width;
  png.height = picture.height;
  png.depth = picture.depth;
  png.stride = picture.stride;
  png.rows = picture.rows.data();
  png.table = picture.table.data();
  png.tableEntries = static_cast<int>(picture.table.size());
  return platform::WritePngFile(path, png);
}

void AskAndSaveImage(HWND owner, DibHandle handle) {
  char path[MAX_PATH] = "image.bmp";
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = "Windows Bitmap (*.bmp)\0*.bmp\0PNG Image (*.png)\0*.png\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = sizeof(path);
  dialog.lpstrDefExt = "bmp";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameA(&dialog)) return;
  // The PNG filter with a name typed without its extension still means PNG.
  if (dialog.nFilterIndex == 2 && !EndsWith(path, ".png") && std::strlen(path) + 4 < sizeof(path) &&
      EndsWith(path, ".bmp")) {
    std::strcpy(path + std::strlen(path) - 4, ".png");
  }
  if (!SaveImageFile(path, handle)) {
    platform::InfoBox(owner, "The image could not be saved.", kProgramCaption);
  }
}
