#include "pages/image_transfer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <utility>

#include "caps/capability_calls.h"
#include "caps/container.h"
#include "caps/logged_operations.h"
#include "imaging/header_report.h"
#include "imaging/image_file.h"
#include "imaging/strip_writer.h"
#include "pages/log.h"
#include "pages/manager_notes.h"
#include "platform/gdi_bitmap.h"
#include "platform/memory.h"
#include "session/triplet_calls.h"
#include "vocab/triplet_text.h"
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
  // The block moved; whoever moved it freed the old one.
  void moved(platform::MemoryHandle block) { block_ = block; }

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

constexpr const char* kNoImage = "no image was transferred";
constexpr const char* kNoFile = "no file was transferred";

// The last step's failed triplet. Its condition is asked here, once: a
// second DAT_STATUS may find it cleared.
struct TransferFailure {
  bool failed = false;
  int rc = TWRC_SUCCESS;
  TW_UINT16 cc = TWCC_SUCCESS;
};
TransferFailure g_failure;

// The note of a failed transfer triplet, with what came of the step.
void NoteFailedTriplet(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, const char* outcome) {
  g_failure.failed = true;
  g_failure.rc = TWAIN_GetResultCode();
  g_failure.cc = TWAIN_GetConditionCode();
  const std::string text = FailedCallNoteText(dg, dat, msg, g_failure.rc, g_failure.cc);
  if (outcome) {
    LogNote("%s: %s", text.c_str(), outcome);
  } else {
    LogNote("%s", text.c_str());
  }
}

std::string MemoryReportText(const TW_IMAGEINFO& info, const std::string& unit) {
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

bool IsRaw(const TW_IMAGEMEMXFER& strip) {
  return strip.Compression == TWCP_NONE || strip.Compression == 0xFFFF;
}

// Uncompressed rows of the image a buffer can carry; at least one.
std::uint32_t RawRowsInBuffer(const TW_IMAGEINFO& info, std::uint32_t bufferBytes) {
  const std::uint64_t row = (std::uint64_t(std::max(info.ImageWidth, 0)) *
                                 std::uint64_t(std::max<int>(info.BitsPerPixel, 0)) +
                             7) /
                            8;
  return static_cast<std::uint32_t>(std::max<std::uint64_t>(row ? bufferBytes / row : 1, 1));
}

// One strip, as the step of the protocol writes it; the caller made its rows
// fit the bitmap.
void WriteStrip(StripWriter& writer, const TW_IMAGEMEMXFER& strip, std::uint32_t firstRow,
                std::size_t bufferBytes, const std::string& note) {
  LogLine("Memory Buffer: %d rows", static_cast<int>(strip.Rows));
  if (!note.empty()) LogNote("%s", note.c_str());
  if (strip.XOffset != 0 || !IsRaw(strip)) return;
  writer.Write(firstRow, strip.Rows, strip.BytesPerRow,
               static_cast<const unsigned char*>(strip.Memory.TheMem),
               StripBytesAvailable(strip.BytesWritten, bufferBytes));
}

// A bitmap of unknown height that grows as rows arrive: at least doubled
// each time, so each row is copied at most once per doubling.
class GrowingBitmap {
 public:
  GrowingBitmap(OwnedBlock& bitmap, std::optional<StripWriter>& writer)
      : bitmap_(bitmap), writer_(writer) {}

  // Room for `rows` rows, or a note and false.
  bool Reserve(std::uint64_t rows) {
    const std::uint64_t rowBytes = writer_->rowBytes();
    if (rows <= capacity_) return true;
    const std::uint64_t limit = std::min<std::uint64_t>(
        std::numeric_limits<std::int32_t>::max(),
        rowBytes ? kMaxUnknownLengthBytes / rowBytes : kMaxUnknownLengthBytes);
    if (rows > limit) {
      LogNote(
          "%llu rows of %llu bytes exceed the %llu bytes kept for an image of unknown length; "
          "the transfer is given up",
          static_cast<unsigned long long>(rows), static_cast<unsigned long long>(rowBytes),
          kMaxUnknownLengthBytes);
      return false;
    }
    const std::uint64_t wanted = std::min(std::max(capacity_ * 2, rows), limit);
    writer_.reset();
    DibHandle grown = DIB_GrowRows(bitmap_.get(), static_cast<int>(wanted));
    if (grown) {
      bitmap_.moved(grown);
      capacity_ = wanted;
    }
    writer_.emplace(bitmap_.get());
    if (!grown)
      LogNote("no memory for %llu rows; the transfer is given up",
              static_cast<unsigned long long>(wanted));
    return grown != nullptr;
  }

 private:
  OwnedBlock& bitmap_;
  std::optional<StripWriter>& writer_;
  std::uint64_t capacity_ = 1;
};

// After the last strip of an image of unknown length: the Source may know
// the length now; the image keeps the rows that came.
void FinishUnknownLength(ImagePageView& page, TW_IMAGEINFO info, const std::string& unit,
                         std::uint32_t rowsStored, DibHandle bitmap) {
  const TW_INT32 before = info.ImageLength;
  TW_IMAGEINFO after{};
  if (!TWAIN_DS(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &after)) {
    // Not the step's failure: the image came.
    const int rc = TWAIN_GetResultCode();
    LogNote(
        "%s",
        FailedCallNoteText(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, rc, TWAIN_GetConditionCode()).c_str());
  } else if (after.ImageLength >= 0 && after.ImageLength != static_cast<TW_INT32>(rowsStored)) {
    LogNote("DAT_IMAGEINFO after the transfer gives ImageLength %d, not the %u rows that came",
            after.ImageLength, rowsStored);
  }
  DIB_TrimRows(bitmap, static_cast<int>(rowsStored));
  LogNote("ImageLength was %d (unknown): the image has the %u rows that came", before, rowsStored);
  info.ImageLength = static_cast<TW_INT32>(rowsStored);
  page.SetInfoText(" Received via Memory Transfer\r\n" + MemoryReportText(info, unit));
}

bool MemoryTransferBody(ImagePageView& page) {
  page.Clear();
  TW_SETUPMEMXFER setup{};
  if (!TWAIN_DS(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup)) {
    NoteFailedTriplet(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, kNoImage);
    return false;
  }
  TW_IMAGEINFO info{};
  if (!TWAIN_DS(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info)) {
    NoteFailedTriplet(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, kNoImage);
    return false;
  }

  LogLine("Starting Memory Transfer");
  LogLine("  Width=%d  Height=%d", info.ImageWidth, info.ImageLength);
  LogLine("  Res %f x %f", Fix32ToNumber(info.XResolution), Fix32ToNumber(info.YResolution));
  LogLine("  %d bits/pixel, %d smples/pixel", info.BitsPerPixel, info.SamplesPerPixel);
  // A length the Source does not know (-1): the bitmap is top-down so the
  // rows already stored keep their place as it grows.
  const bool unknownLength = info.ImageLength < 0;
  OwnedBlock bitmap(unknownLength
                        ? DIB_CreateTopDown(info.BitsPerPixel, info.ImageWidth, 1)
                        : DIB_Create(info.BitsPerPixel, info.ImageWidth, info.ImageLength));
  if (!bitmap.get()) {
    LogLine("Unable to allocate memory for image");
    return false;
  }
  DIB_SetResolution(bitmap.get(), Fix32ToNumber(info.XResolution), Fix32ToNumber(info.YResolution));

  OwnedBlock buffer(platform::MemAlloc(setup.Preferred));
  platform::MemLockGuard bufferLock(buffer.get());
  if (!bufferLock) {
    page.InfoBox(kBufferFailedText);
    return false;  // the bitmap is never shown, so it goes with its owner
  }
  // A Source that writes less than it says must not hand us stale heap bytes.
  std::memset(bufferLock.data(), 0, setup.Preferred);

  TW_IMAGEMEMXFER strip{};
  strip.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
  strip.Memory.Length = setup.Preferred;
  strip.Memory.TheMem = bufferLock.data();

  const std::string unit = UnitName(TWAIN_GetCurrentUnits());
  page.SetInfoText(" Received via Memory Transfer\r\n" + MemoryReportText(info, unit));

  const auto length = static_cast<std::uint32_t>(info.ImageLength);
  std::uint32_t rowsStored = 0;
  int strips = 0;
  bool done = false;
  bool givenUp = false;
  {
    std::optional<StripWriter> writer;
    writer.emplace(bitmap.get());
    GrowingBitmap growing(bitmap, writer);
    int emptyStrips = 0;
    for (;;) {
      if (unknownLength && strips == kMaxUnknownLengthStrips) {
        LogNote("%d buffers brought no TWRC_XFERDONE; the transfer is given up",
                kMaxUnknownLengthStrips);
        givenUp = true;
        break;
      }
      if (!TWAIN_DS(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip)) {
        NoteFailedTriplet(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, nullptr);
        break;
      }
      ++strips;
      // The record is ours again: whatever the Source did to the descriptor,
      // the next request hands over the same buffer.
      strip.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
      strip.Memory.Length = setup.Preferred;
      strip.Memory.TheMem = bufferLock.data();
      std::string note = StripProtocolNote(strip, info, rowsStored, setup.Preferred);
      if (unknownLength) {
        // Nothing else bounds what a strip of unknown length claims: no more
        // rows are counted than its buffer holds uncompressed (compressed
        // rows are never drawn).
        const std::uint32_t most = RawRowsInBuffer(info, setup.Preferred);
        if (strip.Rows > most) {
          note += (note.empty() ? "" : "; ") +
                  Format("%u rows claimed in a buffer that holds %u", TW_UINT32{strip.Rows}, most);
          strip.Rows = most;
        }
        if (strip.Rows != 0 && !growing.Reserve(std::uint64_t{rowsStored} + strip.Rows)) {
          givenUp = true;
          break;
        }
      } else {
        strip.Rows =
            std::min(TW_UINT32{strip.Rows}, length - rowsStored);  // a packed field: copied
      }
      if (strip.Rows != 0) {
        WriteStrip(*writer, strip, rowsStored, setup.Preferred, note);
        rowsStored += strip.Rows;
        emptyStrips = 0;
      } else if (!note.empty()) {
        LogNote("%s", note.c_str());
      }
      if (TWAIN_GetResultCode() == TWRC_XFERDONE) {
        done = true;
        break;
      }
      if (strip.Rows == 0 && ++emptyStrips == kMaxEmptyStrips) {
        LogNote("%d buffers in a row brought no rows; the transfer is given up", kMaxEmptyStrips);
        break;
      }
    }
  }
  bool complete;
  if (unknownLength) {
    complete = done && !givenUp && rowsStored > 0;
    if (done && rowsStored == 0) LogNote("TWRC_XFERDONE came before any row");
    if (complete) FinishUnknownLength(page, info, unit, rowsStored, bitmap.get());
  } else {
    complete = done || rowsStored == length;
  }
  DIB_SwapRedBlue(bitmap.get());
  if (complete) {
    page.SetImage(bitmap.release());
    LogLine("Memory transfer completed successfully.");
  } else {
    bitmap.reset();
    LogLine("Memory transfer failed.");
  }
  return strips > 0;
}

}  // namespace

bool NativeTransferStep(ImagePageView& page) {
  page.Clear();
  g_failure = {};
  TW_HANDLE handle = nullptr;
  if (TWAIN_DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle) && handle) {
    LogLine("DIB received");
    if (platform::IsGdiBitmap(handle)) {
      handle = platform::TakeGdiBitmap(handle);
      LogNote("the Source returned an HBITMAP, not a DIB in global memory; %s",
              handle ? "it was converted and deleted" : "it could not be read");
      if (!handle) {
        page.SetImage(nullptr);
        return false;
      }
    }
    const std::string note = BitmapBlockNote(handle);
    if (!note.empty()) LogNote("the bitmap is not shown: %s", note.c_str());
    page.SetInfoText(" Received via Native Transfer" + HeaderReport(handle));
    page.SetImage(handle);
    return true;
  }
  LogLine("DG_IMAGE/DAT_IMAGENATIVEXFER/MSG_GET failed");
  if (TWAIN_GetResultCode() == TWRC_XFERDONE) {
    LogNote("%s -> TWRC_XFERDONE with no handle: %s",
            TripletText(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).c_str(), kNoImage);
  } else {
    NoteFailedTriplet(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, kNoImage);
  }
  page.SetImage(nullptr);
  return false;
}

bool FileTransferStep(ImagePageView& page) {
  page.Clear();
  g_failure = {};
  TW_SETUPFILEXFER setup{};
  if (!TWAIN_DS(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &setup)) {
    NoteFailedTriplet(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, kNoFile);
    return false;
  }
  const std::string name = FileNameOf(setup);
  const std::string format = FormatName(setup.Format);
  LogLine("File Xfer Ready: %s, \"%s\"", format.c_str(), name.c_str());
  const bool set = TWAIN_DS(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup);
  if (!set || !TWAIN_DS(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr)) {
    LogLine("File Xfer Done: \"%s\"", "");
    if (set) {
      NoteFailedTriplet(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, kNoFile);
    } else {
      NoteFailedTriplet(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, kNoFile);
    }
    return false;
  }
  page.SetInfoText(
      " Received via File Transfer\r\n" +
      Format("\r\n FileName    = \"%s\"\r\n Format      = %s\r\n", name.c_str(), format.c_str()));
  LogLine("File Xfer Done: \"%s\"", name.c_str());
  if (setup.Format != TWFF_BMP && setup.Format != TWFF_JFIF) {
    page.AppendInfoText(kUnsupportedFileText);
    return true;
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
  return true;
}

bool MemoryTransferStep(ImagePageView& page) {
  g_failure = {};
  try {
    return MemoryTransferBody(page);
  } catch (const std::exception& e) {
    LogLine("Exception: %.255s", e.what());
  } catch (...) {
    LogLine("Exception: %.255s", "unknown exception");
  }
  return false;
}

bool TransferByMechanism(ImagePageView& page, int mechanism) {
  switch (mechanism) {
    case TWSX_NATIVE:
      return NativeTransferStep(page);
    case TWSX_FILE:
      return FileTransferStep(page);
    case TWSX_MEMORY:
      return MemoryTransferStep(page);
    default:
      return false;
  }
}

std::string LastTransferFailureText() {
  return g_failure.failed ? ResultTextOf(g_failure.rc, g_failure.cc) : std::string();
}

std::string MemoryReport(const TW_IMAGEINFO& info) {
  return MemoryReportText(info, UnitName(TWAIN_GetCurrentUnits()));
}
