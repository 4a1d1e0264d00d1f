// What a session trace says about its Source, arranged for answering: the
// identity it had, every recorded answer by triplet (and capability), the
// changes (SET, RESET) with their outcomes, and the images in the order they
// were transferred, each as a packed bitmap whatever mechanism carried it.
//
// Answers are placed in "segments": segment s is how the Source stood after
// s successful changes. A GET answers from the latest segment not after the
// replay's own, so a value the application sets again brings back what the
// recorded Source said after that SET.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "trace/trace_format.h"
#include "twain/twain.h"

namespace replay {

using Bytes = std::vector<std::uint8_t>;

// A triplet as the book files it; `cap` is 0 except for DAT_CAPABILITY.
struct AnswerKey {
  TW_UINT32 dg = 0;
  TW_UINT16 dat = 0;
  TW_UINT16 msg = 0;
  TW_UINT16 cap = 0;
  auto operator<=>(const AnswerKey&) const = default;
};

struct RecordedAnswer {
  std::size_t segment = 0;
  // A capability's last change before the answer: the value set, "reset",
  // or empty when it had none.
  Bytes changedTo;
  TW_UINT16 rc = TWRC_FAILURE;
  TW_UINT16 cc = TWCC_SUCCESS;
  Bytes record;                             // the record after the call
  std::optional<TraceContainer> container;  // a capability's answer
};

// A SET or RESET as recorded: the value asked for and what came of it.
struct RecordedChange {
  std::size_t segmentBefore = 0;
  Bytes value;  // the container (in a comparable form) or the record sent
  TW_UINT16 rc = TWRC_FAILURE;
  TW_UINT16 cc = TWCC_SUCCESS;
  Bytes record;                             // the record after the call
  std::optional<TraceContainer> container;  // a RESET's answer
};

struct RecordedImage {
  Bytes dib;                  // packed bitmap: header, colour table, rows
  bool grey = false;          // recorded without pixels (or in a form not decoded)
  std::optional<Bytes> file;  // the transferred file's bytes
  TW_UINT16 fileFormat = TWFF_BMP;
  std::optional<TW_IMAGEINFO> info;  // as DAT_IMAGEINFO answered before it
};

class ReplayBook {
 public:
  // Reads everything the Source was recorded doing; `notes` gets a line
  // for each thing the book had to approximate (an image sent grey, ...).
  static ReplayBook FromTrace(const Trace& trace, std::vector<std::string>* notes = nullptr);

  const TW_IDENTITY& identity() const { return identity_; }
  const std::vector<RecordedImage>& images() const { return images_; }
  // Images transferred after each MSG_ENABLEDS, in order.
  const std::vector<int>& jobs() const { return jobs_; }

  // The answer for the triplet as things stood in `segment`: the latest
  // recorded in it or before, else the first one after; null when none.
  // Answers given after the capability was last changed to `changedTo` come
  // first, since an answer from before that change no longer holds.
  const RecordedAnswer* Answer(const AnswerKey& key, std::size_t segment,
                               const Bytes& changedTo = {}) const;
  // A recorded change of the key to exactly `value`: the first at or after
  // `segment`, else the last before; null when none.
  const RecordedChange* Change(const AnswerKey& key, const Bytes& value, std::size_t segment) const;

 private:
  TW_IDENTITY identity_{};
  std::vector<RecordedImage> images_;
  std::vector<int> jobs_;
  std::map<AnswerKey, std::vector<RecordedAnswer>> answers_;
  std::map<AnswerKey, std::vector<RecordedChange>> changes_;
};

// A container's bytes (block of `conType`) in the form the book compares:
// its type, items and indices, never the block's padding. Empty when the
// bytes are no container.
// What RecordedAnswer::changedTo holds after a MSG_RESET.
Bytes ResetMark();

Bytes ComparableContainer(TW_UINT16 conType, const std::uint8_t* bytes, std::size_t size);

// A field of a recorded record, read only when it lies within it.
template <class T>
std::optional<T> Field(const Bytes& record, std::size_t offset) {
  if (offset > record.size() || record.size() - offset < sizeof(T)) return std::nullopt;
  T value;
  std::memcpy(&value, record.data() + offset, sizeof(T));
  return value;
}

// A packed bitmap of the size and depth (1, 4, 8 or 24 bits), mid grey.
Bytes GreyDib(int width, int height, int depth);
// DAT_IMAGEINFO as the bitmap itself tells it.
TW_IMAGEINFO InfoOfDib(const Bytes& dib);

}  // namespace replay
