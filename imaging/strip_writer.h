// The strips of a memory transfer, copied straight into the final bitmap,
// and what a strip's record says against the protocol.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/dib.h"
#include "platform/memory.h"
#include "twain/twain.h"

// Holds the bitmap locked while strips arrive, so each row is one bounded copy.
class StripWriter {
 public:
  explicit StripWriter(DibHandle bitmap);
  StripWriter(const StripWriter&) = delete;
  StripWriter& operator=(const StripWriter&) = delete;

  // True when the bitmap fits its block and has addressable rows.
  bool ok() const { return ok_; }
  std::size_t rowBytes() const { return layout_.rowBytes; }

  // Copies `rows` rows into the bitmap from row `firstRow` (counted from the
  // top); row i is the bitmap's padded row length read from i x bytesPerRow.
  // Nothing is read at or beyond `available` bytes of the strip: the rest of
  // a row that would reach there is filled with zeros. Rows outside the
  // bitmap are skipped.
  void Write(std::int64_t firstRow, std::uint32_t rows, std::uint32_t bytesPerRow,
             const unsigned char* strip, std::size_t available);

 private:
  platform::MemLockGuard lock_;
  DibLayout layout_;
  bool ok_ = false;
};

// The bytes of a strip that may be read: the buffer, or fewer when the Source
// says it wrote fewer (0 means it did not say).
std::size_t StripBytesAvailable(std::uint32_t bytesWritten, std::size_t bufferBytes);

// One line naming every way the strip breaks the protocol, empty when none:
// BytesWritten larger than the buffer, YOffset not equal to the rows already
// stored, rows beyond ImageLength, BytesPerRow shorter than the image's row,
// Columns not equal to the width.
std::string StripProtocolNote(const TW_IMAGEMEMXFER& strip, const TW_IMAGEINFO& info,
                              std::uint32_t rowsStored, std::size_t bufferBytes);
