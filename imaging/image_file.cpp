#include "imaging/image_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "platform/jpeg_decoder.h"
#include "platform/memory.h"
#include "platform/open_file_dialog.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"

namespace {

constexpr platform::FileFilter kImageFilters[] = {
    {"Image Files (*.bmp,*.jpg)", "*.bmp;*.jpg"},
    {"Windows Bitmaps (*.bmp)", "*.bmp"},
    {"JPEG/JFIF (*.jpg)", "*.jpg"},
};
constexpr const platform::FileFilter* kBitmapFilter = &kImageFilters[1];

// The dialog's name buffer holds at most 255 characters.
constexpr std::size_t kNameCapacity = 256;

constexpr std::size_t kSignatureBytes = 10;
constexpr std::size_t kFileHeaderBytes = 14;

// Start of image, APP0, two length bytes (not examined), "JFIF".
bool IsJfif(const unsigned char* head) {
  static constexpr unsigned char kStart[] = {0xFF, 0xD8, 0xFF, 0xE0};
  return std::memcmp(head, kStart, sizeof(kStart)) == 0 && std::memcmp(head + 6, "JFIF", 4) == 0;
}

struct JpegLibrary {
  bool loaded = false;
};

JpegLibrary& TheJpegLibrary() {
  static JpegLibrary library;
  return library;
}

void ReleaseJpegLibrary() {
  if (TheJpegLibrary().loaded) platform::JpegDecoderClose();
  TheJpegLibrary() = JpegLibrary{};
}

bool JpegLibraryReady() {
  if (JpegLibrary_Load()) return true;
  TWAIN_ErrorBox(kJpegNotFoundText);
  return false;
}

void ShowJpegError(int error) {
  char text[64];
  std::snprintf(text, sizeof(text), kJpegErrorFormat, error);
  TWAIN_ErrorBox(text);
}

// Reads `bytes` bytes from the file into a new block; null on a short read.
DibHandle ReadBlock(platform::FileHandle file, std::uint64_t bytes) {
  if (!platform::FitsAddressSpace(bytes)) return nullptr;
  DibHandle block = platform::MemAlloc(static_cast<std::size_t>(bytes));
  if (!block) return nullptr;
  bool complete = false;
  {
    platform::MemLockGuard lock(block);
    complete = lock &&
               platform::ReadFileBytes(file, lock.data(), static_cast<std::size_t>(bytes)) == bytes;
  }
  if (complete) return block;
  platform::MemFree(block);
  return nullptr;
}

DibHandle ReadJpegFile(platform::FileHandle file) {
  if (!JpegLibraryReady()) return nullptr;
  const std::int64_t length = platform::FileLength(file);
  if (length <= 0) return nullptr;
  DibHandle block = ReadBlock(file, static_cast<std::uint64_t>(length));
  if (!block) return nullptr;
  DibHandle dib = nullptr;
  {
    platform::MemLockGuard lock(block);
    if (lock) dib = Jpeg_Decode(lock.data(), static_cast<std::size_t>(length));
  }
  platform::MemFree(block);
  return dib;
}

DibHandle ReadBitmapFile(platform::FileHandle file) {
  unsigned char header[kFileHeaderBytes];
  if (platform::ReadFileBytes(file, header, sizeof(header)) != sizeof(header)) return nullptr;
  std::uint32_t fileSize;
  std::memcpy(&fileSize, header + 2, sizeof(fileSize));
  // A size below the file header would wrap round; one beyond the file
  // cannot be read (and is not worth allocating).
  const std::int64_t length = platform::FileLength(file);
  if (fileSize <= kFileHeaderBytes || length < 0 || fileSize > static_cast<std::uint64_t>(length)) {
    return nullptr;
  }
  const std::size_t dibBytes = fileSize - kFileHeaderBytes;
  DibHandle dib = ReadBlock(file, dibBytes);
  if (!dib) return nullptr;
  // The header must describe what the block holds, or nothing may view it.
  bool fits = false;
  {
    platform::MemLockGuard lock(dib);
    fits = lock && DIB_CheckLayout(lock.data(), dibBytes, nullptr) == DibCheck::kOk;
  }
  if (fits) return dib;
  platform::MemFree(dib);
  return nullptr;
}

// Decodes into a new bitmap; returns 0 or an error, with the bitmap (if one
// was made) in dib.
int DecodeInto(platform::JpegDecoding* decoding, const platform::JpegImageInfo& info,
               DibHandle& dib) {
  if (info.channels != 1 && info.channels != 3) return kJpegErrorChannels;
  dib = DIB_Create(8 * info.channels, info.width, info.height);
  if (!dib) return kJpegErrorBitmap;
  platform::MemLockGuard lock(dib);
  DibLayout layout;
  if (!lock || DIB_CheckLayout(lock.data(), platform::MemSize(dib), &layout) != DibCheck::kOk) {
    return kJpegErrorBitmap;
  }
  // The picture's top row is the last in memory: the rows go upwards.
  unsigned char* top = DIB_LayoutRow(lock.data(), layout, 0);
  if (!top) return kJpegErrorBitmap;
  return platform::JpegReadImage(decoding, top, -static_cast<std::ptrdiff_t>(layout.rowBytes));
}

}  // namespace

bool JpegLibrary_Load() {
  JpegLibrary& library = TheJpegLibrary();
  if (library.loaded) return true;
  if (!platform::JpegDecoderOpen()) return false;
  library.loaded = true;
  TWAIN_Session().releaseJpegLibrary = ReleaseJpegLibrary;
  return true;
}

DibHandle Jpeg_Decode(const void* bytes, std::size_t length) {
  if (!JpegLibraryReady()) return nullptr;
  platform::JpegDecoding* decoding = nullptr;
  platform::JpegImageInfo info;
  DibHandle dib = nullptr;
  int error = platform::JpegBegin(bytes, length, &decoding, &info);
  if (error == 0) error = DecodeInto(decoding, info, dib);
  platform::JpegEnd(decoding);
  if (error != 0) ShowJpegError(error);
  return dib;
}

DibHandle ImageFile_Read(platform::FileHandle file) {
  unsigned char head[kSignatureBytes];
  if (platform::ReadFileBytes(file, head, sizeof(head)) != sizeof(head)) return nullptr;
  const bool bitmap = head[0] == 'B';
  if (bitmap ? head[1] != 'M' : !IsJfif(head)) return nullptr;
  if (!platform::SeekFile(file, 0)) return nullptr;
  return bitmap ? ReadBitmapFile(file) : ReadJpegFile(file);
}

DibHandle ImageFile_Load(const char* name) {
  char chosen[kNameCapacity] = {};
  if (!name || !*name) {
    const bool asked =
        JpegLibrary_Load()
            ? platform::AskOpenFileName(nullptr, kImageFilters, std::size(kImageFilters), nullptr,
                                        chosen, sizeof(chosen))
            : platform::AskOpenFileName(nullptr, kBitmapFilter, 1, "bmp", chosen, sizeof(chosen));
    if (!asked) return nullptr;
    name = chosen;
  }
  platform::OpenedFile file(name);
  return file ? ImageFile_Read(file.get()) : nullptr;
}
