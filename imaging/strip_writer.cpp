#include "imaging/strip_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

void Append(std::string& note, const char* format, auto... values) {
  char text[160];
  std::snprintf(text, sizeof(text), format, values...);
  if (!note.empty()) note += "; ";
  note += text;
}

}  // namespace

StripWriter::StripWriter(DibHandle bitmap) : lock_(bitmap) {
  ok_ = lock_ &&
        DIB_CheckLayout(lock_.data(), platform::MemSize(bitmap), &layout_) == DibCheck::kOk &&
        layout_.HasRows();
}

void StripWriter::Write(std::int64_t firstRow, std::uint32_t rows, std::uint32_t bytesPerRow,
                        const unsigned char* strip, std::size_t available) {
  if (!ok_ || !strip) return;
  const std::size_t length = layout_.rowBytes;
  for (std::uint32_t i = 0; i < rows; ++i) {
    const std::int64_t row = firstRow + i;
    if (row < 0) continue;
    if (row >= layout_.height) break;
    unsigned char* target = DIB_LayoutRow(lock_.data(), layout_, static_cast<int>(row));
    const std::uint64_t offset = std::uint64_t{i} * bytesPerRow;
    // What is left of the strip past this row's start; nothing once past its end.
    const std::uint64_t left = available - std::min<std::uint64_t>(offset, available);
    const auto copied = static_cast<std::size_t>(std::min<std::uint64_t>(length, left));
    if (copied) std::memcpy(target, strip + offset, copied);
    std::memset(target + copied, 0, length - copied);
  }
}

std::size_t StripBytesAvailable(std::uint32_t bytesWritten, std::size_t bufferBytes) {
  return bytesWritten == 0 ? bufferBytes : std::min<std::size_t>(bytesWritten, bufferBytes);
}

std::string StripProtocolNote(const TW_IMAGEMEMXFER& strip, const TW_IMAGEINFO& info,
                              std::uint32_t rowsStored, std::size_t bufferBytes) {
  std::string note;
  if (strip.BytesWritten > bufferBytes) {
    Append(note, "BytesWritten (%u) is larger than the buffer (%zu bytes)", strip.BytesWritten,
           bufferBytes);
  }
  if (strip.Rows != 0 && strip.YOffset != rowsStored) {
    Append(note, "YOffset (%u) is not the %u rows already stored", strip.YOffset, rowsStored);
  }
  const std::uint32_t room = static_cast<std::uint32_t>(info.ImageLength) - rowsStored;
  if (info.ImageLength > 0 && strip.Rows > room) {
    Append(note, "%u rows beyond ImageLength (%d)", strip.Rows - room, info.ImageLength);
  }
  // Row lengths and widths only mean this for uncompressed data.
  const bool raw = strip.Compression == TWCP_NONE || strip.Compression == 0xFFFF;
  const std::uint64_t imageRow = (std::uint64_t(std::max(info.ImageWidth, 0)) *
                                      std::uint64_t(std::max<int>(info.BitsPerPixel, 0)) +
                                  7) /
                                 8;
  if (raw && strip.Rows != 0 && strip.BytesPerRow < imageRow) {
    Append(note, "BytesPerRow (%u) is shorter than the image's row (%llu bytes)", strip.BytesPerRow,
           static_cast<unsigned long long>(imageRow));
  }
  if (raw && strip.Rows != 0 && strip.XOffset == 0 &&
      static_cast<std::int64_t>(strip.Columns) != info.ImageWidth) {
    Append(note, "Columns (%u) is not ImageWidth (%d)", strip.Columns, info.ImageWidth);
  }
  return note;
}
