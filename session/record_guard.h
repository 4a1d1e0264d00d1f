// Guard bytes after every record the probe hands a Source in one call, and
// after the identities it passes with every call: a Source that writes past
// a record's published size overwrites them, not the probe's stack. The
// guard is checked after each call; an overrun is named in a log note and
// kept for the conformance pass. The common path is inline: a capability
// scan sends a thousand triplets through it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "twain/twain.h"

// Enough for any packing mismatch (the worst, TW_EVENT with 8-byte packing,
// runs 6 bytes over) and for counting a little beyond.
constexpr std::size_t kRecordGuardBytes = 16;
constexpr unsigned char kRecordGuardByte = 0xA5;

// Guard bytes armed from the start: the session keeps one after each of its
// identities, so they are guarded where they live, with no copy per call.
struct GuardBytes {
  unsigned char bytes[kRecordGuardBytes] = {0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5,
                                            0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5};
};
// The largest record guarded (TW_SETUPFILEXFER).
constexpr std::size_t kMaxGuardedRecord = 260;

// The published size of the record a triplet of this DAT carries, and its name.
struct GuardedRecord {
  TW_UINT16 dat;
  std::size_t size;
  const char* name;
  std::size_t index;  // its buffers' place among the guarded records
};
constexpr std::size_t kGuardedRecordKinds = 10;
// Null for a DAT the guard does not cover.
const GuardedRecord* GuardedRecordOf(TW_UINT16 dat);
namespace record_guard {
// The guarded records by slot, for the inline path; the entry's own dat is compared.
constexpr std::size_t Slot(TW_UINT16 dat) {
  return (dat + (dat >> 8) * 16u) & 63u;
}
extern const std::array<const GuardedRecord*, 64> g_slots;
inline const GuardedRecord* Find(TW_UINT16 dat) {
  const GuardedRecord* record = g_slots[Slot(dat)];
  return record && record->dat == dat ? record : nullptr;
}
}  // namespace record_guard

struct RecordOverrun {
  std::string record;     // "TW_IMAGEINFO", "the Source's TW_IDENTITY"
  std::string call;       // the triplet as the log writes it
  std::size_t bytes = 0;  // from the record's end to the last guard byte changed
};
// Every overrun since the last reset (at most kMaxOverrunsKept; the count goes on).
const std::vector<RecordOverrun>& RecordOverruns();
std::size_t RecordOverrunCount();
void ResetRecordOverruns();
constexpr std::size_t kMaxOverrunsKept = 1000;

namespace record_guard {

// What differs from guard bytes in the 16 bytes at `guard`, as one word:
// zero when untouched. Read as two words and no branch, since every call
// checks three guards.
inline std::uint64_t Changed(const unsigned char* guard) {
  std::uint64_t words[2];
  std::memcpy(words, guard, sizeof(words));
  constexpr std::uint64_t kWord = 0x0101010101010101ull * kRecordGuardByte;
  return (words[0] ^ kWord) | (words[1] ^ kWord);
}
inline bool Intact(const unsigned char* guard) {
  return Changed(guard) == 0;
}

// A record's buffer for one call, its guard after the record's size. The
// buffers live for the process, one per record kind and depth of calls in
// progress (a Source that pumps messages lets calls nest), and their guards
// stay armed from call to call: a call copies its record in and out and
// reads the guard, and nothing more.
struct Buffer {
  alignas(8) unsigned char bytes[kMaxGuardedRecord + kRecordGuardBytes];
};
constexpr std::size_t kBufferDepths = 4;
extern Buffer g_buffers[kBufferDepths][kGuardedRecordKinds];

// Names what was overwritten and arms the guards again (out of line: rare).
void Report(const GuardedRecord* record, unsigned char* buffer, GuardBytes& app, GuardBytes& source,
            TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg);

}  // namespace record_guard

// A record the caller keeps with guard bytes of its own after it, for the
// triplets a scan sends a thousand times: the Source is handed the record
// itself, with nothing copied.
template <typename T>
struct WithGuard {
  T record{};
  GuardBytes guard;
};

// One call's guard: the record in a buffer with guard bytes after it; the
// identities' guards are the session's, after them.
class RecordGuard {
 public:
  // depth: how many calls are in progress around this one; inPlace: the
  // record already has its guard after it (a WithGuard's record).
  RecordGuard(TW_UINT16 dat, TW_MEMREF data, std::size_t depth = 0, bool inPlace = false)
      : data_(data), record_(data) {
    if (!data) return;
    guarded_ = record_guard::Find(dat);
    if (!guarded_) return;
    if (inPlace) {
      buffer_ = static_cast<unsigned char*>(data);
      inPlace_ = true;
      return;
    }
    if (depth < record_guard::kBufferDepths) {
      buffer_ = record_guard::g_buffers[depth][guarded_->index].bytes;
    } else {
      buffer_ = own_.bytes;
      std::memset(buffer_ + guarded_->size, kRecordGuardByte, kRecordGuardBytes);
    }
    Copy(buffer_, data, guarded_->size);
    record_ = buffer_;
  }
  RecordGuard(const RecordGuard&) = delete;
  RecordGuard& operator=(const RecordGuard&) = delete;

  TW_MEMREF record() const { return record_; }
  // After the call: the record goes back to the caller's, and every guard
  // overwritten (the record's, the identities' `app` and `source`) is named.
  void Check(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, GuardBytes& app, GuardBytes& source) {
    std::uint64_t changed = record_guard::Changed(app.bytes) | record_guard::Changed(source.bytes);
    if (guarded_) {
      if (!inPlace_) Copy(data_, buffer_, guarded_->size);
      changed |= record_guard::Changed(buffer_ + guarded_->size);
    }
    if (changed != 0) record_guard::Report(guarded_, buffer_, app, source, dg, dat, msg);
  }

 private:
  // The records a scan sends a thousand times (a capability and the status
  // after it) are copied inline, not through the C library.
  static void Copy(void* to, const void* from, std::size_t size) {
    switch (size) {
      case sizeof(TW_CAPABILITY):
        std::memcpy(to, from, sizeof(TW_CAPABILITY));
        break;
      case sizeof(TW_STATUS):
        std::memcpy(to, from, sizeof(TW_STATUS));
        break;
      default:
        std::memcpy(to, from, size);
    }
  }

  const GuardedRecord* guarded_ = nullptr;
  TW_MEMREF data_;
  TW_MEMREF record_;
  unsigned char* buffer_ = nullptr;
  bool inPlace_ = false;
  record_guard::Buffer own_;  // for calls nested deeper than the kept buffers go
};
