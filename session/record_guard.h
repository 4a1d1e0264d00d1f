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

constexpr std::size_t kRecordGuardBytes = 32;
constexpr unsigned char kRecordGuardByte = 0xA5;
// The largest record guarded (TW_SETUPFILEXFER).
constexpr std::size_t kMaxGuardedRecord = 260;

// The published size of the record a triplet of this DAT carries, and its name.
struct GuardedRecord {
  TW_UINT16 dat;
  std::size_t size;
  const char* name;
};
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

// An identity kept for the connection, with its guard after it.
struct KeptIdentity {
  TW_IDENTITY identity{};
  unsigned char guard[kRecordGuardBytes];
};
extern KeptIdentity g_app;
extern KeptIdentity g_source;

// Whether the guard still holds only guard bytes: word by word, of a fixed
// size, so no library call is made.
inline bool Intact(const unsigned char* guard) {
  std::uint64_t words[kRecordGuardBytes / 8];
  std::memcpy(words, guard, sizeof(words));
  constexpr std::uint64_t kWord = 0x0101010101010101ull * kRecordGuardByte;
  std::uint64_t changed = 0;
  for (std::uint64_t word : words) changed |= word ^ kWord;
  return changed == 0;
}

// An identity changes only when a Source is opened (its Id with it) or
// before the Manager is: the fields that tell are compared, not the record.
inline TW_IDENTITY* Keep(KeptIdentity& kept, TW_IDENTITY* identity) {
  if (!identity) return nullptr;
  const TW_IDENTITY& a = kept.identity;
  const TW_IDENTITY& b = *identity;
  if (a.Id != b.Id || a.ProtocolMajor != b.ProtocolMajor || a.ProtocolMinor != b.ProtocolMinor ||
      a.SupportedGroups != b.SupportedGroups || a.Version.MajorNum != b.Version.MajorNum ||
      a.Version.MinorNum != b.Version.MinorNum)
    std::memcpy(&kept.identity, identity, sizeof(TW_IDENTITY));
  return &kept.identity;
}

// Names what was overwritten and arms the guards again (out of line: rare).
void Report(const GuardedRecord* record, unsigned char* guard, TW_UINT32 dg, TW_UINT16 dat,
            TW_UINT16 msg);

}  // namespace record_guard

// One call's guard: the record in a buffer with guard bytes after it, the
// identities in kept copies with guard bytes after them.
class RecordGuard {
 public:
  RecordGuard(TW_UINT16 dat, TW_MEMREF data) : data_(data), record_(data) {
    if (!data) return;
    guarded_ = record_guard::Find(dat);
    if (!guarded_) return;
    Copy(buffer_, data, guarded_->size);
    std::memset(buffer_ + guarded_->size, kRecordGuardByte, kRecordGuardBytes);
    record_ = buffer_;
  }
  RecordGuard(const RecordGuard&) = delete;
  RecordGuard& operator=(const RecordGuard&) = delete;

  TW_MEMREF record() const { return record_; }
  static TW_IDENTITY* App(TW_IDENTITY* app) { return record_guard::Keep(record_guard::g_app, app); }
  static TW_IDENTITY* Source(TW_IDENTITY* source) {
    return record_guard::Keep(record_guard::g_source, source);
  }
  // After the call: the record goes back to the caller's, and every guard
  // overwritten is named.
  void Check(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
    using record_guard::Intact;
    bool intact = Intact(record_guard::g_app.guard) && Intact(record_guard::g_source.guard);
    if (guarded_) {
      Copy(data_, buffer_, guarded_->size);
      intact = intact && Intact(buffer_ + guarded_->size);
    }
    if (!intact) record_guard::Report(guarded_, buffer_, dg, dat, msg);
  }

 private:
  // A capability record, the one a scan sends a thousand times, is copied inline.
  static void Copy(void* to, const void* from, std::size_t size) {
    if (size == sizeof(TW_CAPABILITY)) {
      std::memcpy(to, from, sizeof(TW_CAPABILITY));
    } else {
      std::memcpy(to, from, size);
    }
  }

  const GuardedRecord* guarded_ = nullptr;
  TW_MEMREF data_;
  TW_MEMREF record_;
  alignas(8) unsigned char buffer_[kMaxGuardedRecord + kRecordGuardBytes];
};
