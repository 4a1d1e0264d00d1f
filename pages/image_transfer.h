// The Images page's transfer steps: native, file and memory transfer of the
// pending image, with their log lines and the texts the page shows. The page
// is reached only through ImagePageView, so all of it runs in host tests.
#pragma once

#include <string>

#include "imaging/dib.h"
#include "twain/twain.h"

// What a transfer step needs of the page that shows the image.
class ImagePageView {
 public:
  virtual ~ImagePageView() = default;
  // Info text empty, no image.
  virtual void Clear() = 0;
  // The page takes the handle (null: no image) and shows it.
  virtual void SetImage(DibHandle handle) = 0;
  virtual void SetInfoText(const std::string& text) = 0;
  virtual void AppendInfoText(const std::string& text) = 0;
  virtual void InfoBox(const char* text) = 0;
};

// Each step is true when the Source transferred something (the image, its
// file or buffers of it), so that the step's time means something.
bool NativeTransferStep(ImagePageView& page);
bool FileTransferStep(ImagePageView& page);
bool MemoryTransferStep(ImagePageView& page);
// The step of the mechanism (TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY); any other
// value does nothing.
bool TransferByMechanism(ImagePageView& page, int mechanism);

// The result text of the triplet that failed the last transfer step, its
// condition asked once when it failed; empty when none failed.
std::string LastTransferFailureText();

// The multi-line description of a memory transfer's image information; the
// unit is asked of the Source.
std::string MemoryReport(const TW_IMAGEINFO& info);

constexpr const char* kUnsupportedFileText = "\r\n[Vorrel can't display this file type]";
constexpr const char* kBufferFailedText = "Buffer allocation failed.";
// Strips in a row that bring no rows before the step gives up on the Source.
constexpr int kMaxEmptyStrips = 1000;
// Bounds of a transfer whose length the Source does not know (ImageLength -1).
constexpr int kMaxUnknownLengthStrips = 100000;
constexpr unsigned long long kMaxUnknownLengthBytes = 1ull << 31;
