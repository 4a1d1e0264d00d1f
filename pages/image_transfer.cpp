#include "pages/image_transfer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <utility>

#include "caps/capability_calls.h"
#include "caps/container.h"
#include "caps/logged_operations.h"
#include "imaging/header_report.h"
#include "imaging/image_file.h"
#include "imaging/strip_writer.h"
#include "pages/log.h"
#include "platform/gdi_bitmap.h"
#include "platform/memory.h"
#include "session/triplet_calls.h"
#include "vocab/twain_names.h"
#include "vocab/value_text.h"

namespace {

// A movable block freed at the end of its scope unless it was handed on.
class OwnedBlock {
 public:
  explicit OwnedBlock(platform::MemoryHandle block) : block_(block) {}
  ~OwnedBlock() { platform::MemFree(block_); }
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;
  platform::MemoryHandle get() const { return block_; }
  platform::MemoryHandle release() { return std::exchange(block_, nullptr); }
  void reset() { platform::MemFree(std::exchange(block_, nullptr)); }

 private:
  platform::MemoryHandle block_;
};

std::string Format(const char* format, auto... values) {
  char text[512];
  std::snprintf(text, sizeof(text), format, values...);
  return text;
}

std::string FormatName(TW_UINT16 format) {
  return ValueText(TWTY_UINT16, format, ICAP_IMAGEFILEFORMAT);
}

// TW_STR255 may be filled to its end without a terminating zero.
std::string FileNameOf(const TW_SETUPFILEXFER& setup) {
  return std::string(setup.FileName, strnlen(setup.FileName, sizeof(setup.FileName)));
}

// One strip, as the step of the protocol writes it; the rows were cut to the
// image's length by the caller.
void WriteStrip(StripWriter& writer, const TW_IMAGEMEMXFER& strip, std::uint32_t firstRow,
                std::size_t bufferBytes, const std::string& note) {
  LogLine("Memory Buffer: %d rows", static_cast<int>(strip.Rows));
  if (!note.empty()) LogNote("%s", note.c_str());
  const bool raw = strip.Compression == TWCP_NONE || strip.Compression == 0xFFFF;
  if (strip.XOffset != 0 || !raw) return;
  writer.Write(firstRow, strip.Rows, strip.BytesPerRow,
               static_cast<const unsigned char*>(strip.Memory.TheMem),
               StripBytesAvailable(strip.BytesWritten, bufferBytes));
}

void MemoryTransferBody(ImagePageView& page) {
  page.Clear();
  TW_SETUPMEMXFER setup{};
  if (!TWAIN_DS(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup)) return;
  TW_IMAGEINFO info{};
  if (!TWAIN_DS(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info)) return;

  LogLine("Starting Memory Transfer");
  LogLine("  Width=%d  Height=%d", info.ImageWidth, info.ImageLength);
  LogLine("  Res %f x %f", Fix32ToNumber(info.XResolution), Fix32ToNumber(info.YResolution));
  LogLine("  %d bits/pixel, %d smples/pixel", info.BitsPerPixel, info.SamplesPerPixel);
  OwnedBlock bitmap(DIB_Create(info.BitsPerPixel, info.ImageWidth, info.ImageLength));
  if (!bitmap.get()) {
    LogLine("Unable to allocate memory for image");
    return;
  }
  DIB_SetResolution(bitmap.get(), Fix32ToNumber(info.XResolution), Fix32ToNumber(info.YResolution));

  OwnedBlock buffer(platform::MemAlloc(setup.Preferred));
  platform::MemLockGuard bufferLock(buffer.get());
  if (!bufferLock) {
    page.InfoBox(kBufferFailedText);
    return;  // the bitmap is never shown, so it goes with its owner
  }
  // A Source that writes less than it says must not hand us stale heap bytes.
  std::memset(bufferLock.data(), 0, setup.Preferred);

  TW_IMAGEMEMXFER strip{};
  strip.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
  strip.Memory.Length = setup.Preferred;
  strip.Memory.TheMem = bufferLock.data();

  page.SetInfoText(" Received via Memory Transfer\r\n" + MemoryReport(info));

  const auto length = static_cast<std::uint32_t>(info.ImageLength);
  std::uint32_t rowsStored = 0;
  {
    StripWriter writer(bitmap.get());
    int emptyStrips = 0;
    for (;;) {
      if (!TWAIN_DS(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip)) break;
      // The record is ours again: whatever the Source did to the descriptor,
      // the next request hands over the same buffer.
      strip.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
      strip.Memory.Length = setup.Preferred;
      strip.Memory.TheMem = bufferLock.data();
      const std::string note = StripProtocolNote(strip, info, rowsStored, setup.Preferred);
      strip.Rows = std::min(TW_UINT32{strip.Rows}, length - rowsStored);  // a packed field: copied
      if (strip.Rows != 0) {
        WriteStrip(writer, strip, rowsStored, setup.Preferred, note);
        rowsStored += strip.Rows;
        emptyStrips = 0;
      } else if (!note.empty()) {
        LogNote("%s", note.c_str());
      }
      if (TWAIN_GetResultCode() == TWRC_XFERDONE) {
        rowsStored = length;
        break;
      }
      if (strip.Rows == 0 && ++emptyStrips == kMaxEmptyStrips) {
        LogNote("%d buffers in a row brought no rows; the transfer is given up", kMaxEmptyStrips);
        break;
      }
    }
  }
  DIB_SwapRedBlue(bitmap.get());
  if (rowsStored == length) {
    page.SetImage(bitmap.release());
    LogLine("Memory transfer completed successfully.");
  } else {
    bitmap.reset();
    LogLine("Memory transfer failed.");
  }
}

}  // namespace

void NativeTransferStep(ImagePageView& page) {
  page.Clear();
  TW_HANDLE handle = nullptr;
  if (TWAIN_DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle) && handle) {
    LogLine("DIB received");
    if (platform::IsGdiBitmap(handle)) {
      handle = platform::TakeGdiBitmap(handle);
      LogNote("the Source returned an HBITMAP, not a DIB in global memory; %s",
              handle ? "it was converted and deleted" : "it could not be read");
      if (!handle) {
        page.SetImage(nullptr);
        return;
      }
    }
    const std::string note = BitmapBlockNote(handle);
    if (!note.empty()) LogNote("the bitmap is not shown: %s", note.c_str());
    page.SetInfoText(" Received via Native Transfer" + HeaderReport(handle));
    page.SetImage(handle);
  } else {
    LogLine("DG_IMAGE/DAT_IMAGENATIVEXFER/MSG_GET failed");
    page.SetImage(nullptr);
  }
}

void FileTransferStep(ImagePageView& page) {
  page.Clear();
  TW_SETUPFILEXFER setup{};
  if (!TWAIN_DS(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &setup)) return;
  const std::string name = FileNameOf(setup);
  const std::string format = FormatName(setup.Format);
  LogLine("File Xfer Ready: %s, \"%s\"", format.c_str(), name.c_str());
  if (!TWAIN_DS(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup) ||
      !TWAIN_DS(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr)) {
    LogLine("File Xfer Done: \"%s\"", "");
    const std::string result = ResultText();
    LogNote("no file was transferred: %s", result.c_str());
    return;
  }
  page.SetInfoText(
      " Received via File Transfer\r\n" +
      Format("\r\n FileName    = \"%s\"\r\n Format      = %s\r\n", name.c_str(), format.c_str()));
  LogLine("File Xfer Done: \"%s\"", name.c_str());
  if (setup.Format != TWFF_BMP && setup.Format != TWFF_JFIF) {
    page.AppendInfoText(kUnsupportedFileText);
    return;
  }
  DibHandle handle = ImageFile_Load(name.c_str());
  if (handle) {
    page.AppendInfoText(" ------------------------- DIB as loaded" + HeaderReport(handle));
    const std::string note = BitmapBlockNote(handle);
    if (!note.empty()) LogNote("the file's bitmap is not shown: %s", note.c_str());
  } else {
    LogNote("\"%s\" could not be read as a %s file", name.c_str(), format.c_str());
  }
  page.SetImage(handle);
}

void MemoryTransferStep(ImagePageView& page) {
  try {
    MemoryTransferBody(page);
  } catch (const std::exception& e) {
    LogLine("Exception: %.255s", e.what());
  } catch (...) {
    LogLine("Exception: %.255s", "unknown exception");
  }
}

void TransferByMechanism(ImagePageView& page, int mechanism) {
  switch (mechanism) {
    case TWSX_NATIVE:
      NativeTransferStep(page);
      break;
    case TWSX_FILE:
      FileTransferStep(page);
      break;
    case TWSX_MEMORY:
      MemoryTransferStep(page);
      break;
    default:
      break;
  }
}

std::string MemoryReport(const TW_IMAGEINFO& info) {
  const std::string unit = UnitName(TWAIN_GetCurrentUnits());
  const std::string pixelType = ValueText(TWTY_INT16, info.PixelType, ICAP_PIXELTYPE);
  const std::string compression = ValueText(TWTY_UINT16, info.Compression, ICAP_COMPRESSION);
  return Format(
      "\r\n X Resolution    = %g pixels/%s\r\n Y Resolution    = %g pixels/%s\r\n Width           "
      "= %d columns\r\n Length          = %d rows\r\n SamplesPerPixel = %d\r\n BitsPerSample   = "
      "[%1d,%1d,%1d]\r\n BitsPerPixel    = %d\r\n Planar          = %s\r\n PixelType       = "
      "%s\r\n Compression     = %s\r\n",
      Fix32ToNumber(info.XResolution), unit.c_str(), Fix32ToNumber(info.YResolution), unit.c_str(),
      info.ImageWidth, info.ImageLength, info.SamplesPerPixel, info.BitsPerSample[0],
      info.BitsPerSample[1], info.BitsPerSample[2], info.BitsPerPixel,
      info.Planar ? "1 (PLANAR)" : "0 (CHUNKY)", pixelType.c_str(), compression.c_str());
}
