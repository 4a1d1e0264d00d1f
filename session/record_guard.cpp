#include "session/record_guard.h"

#include <iterator>

#include "pages/log.h"
#include "vocab/triplet_text.h"

namespace {

constexpr GuardedRecord kGuarded[] = {
    {DAT_CAPABILITY, sizeof(TW_CAPABILITY), "TW_CAPABILITY", 0},
    {DAT_EVENT, sizeof(TW_EVENT), "TW_EVENT", 1},
    {DAT_PENDINGXFERS, sizeof(TW_PENDINGXFERS), "TW_PENDINGXFERS", 2},
    {DAT_SETUPMEMXFER, sizeof(TW_SETUPMEMXFER), "TW_SETUPMEMXFER", 3},
    {DAT_SETUPFILEXFER, sizeof(TW_SETUPFILEXFER), "TW_SETUPFILEXFER", 4},
    {DAT_STATUS, sizeof(TW_STATUS), "TW_STATUS", 5},
    {DAT_USERINTERFACE, sizeof(TW_USERINTERFACE), "TW_USERINTERFACE", 6},
    {DAT_IMAGEINFO, sizeof(TW_IMAGEINFO), "TW_IMAGEINFO", 7},
    {DAT_IMAGELAYOUT, sizeof(TW_IMAGELAYOUT), "TW_IMAGELAYOUT", 8},
    {DAT_IMAGEMEMXFER, sizeof(TW_IMAGEMEMXFER), "TW_IMAGEMEMXFER", 9},
};
static_assert(std::size(kGuarded) == kGuardedRecordKinds);
constexpr bool Fits() {
  for (std::size_t i = 0; i < std::size(kGuarded); ++i) {
    if (kGuarded[i].size > kMaxGuardedRecord || kGuarded[i].index != i) return false;
  }
  return true;
}
static_assert(Fits());

}  // namespace

namespace record_guard {

Buffer g_buffers[kBufferDepths][kGuardedRecordKinds];

namespace {
// Every guard armed before the first call.
const bool g_armed = [] {
  for (auto& depth : g_buffers) {
    for (const GuardedRecord& record : kGuarded)
      std::memset(depth[record.index].bytes + record.size, kRecordGuardByte, kRecordGuardBytes);
  }
  return true;
}();
}  // namespace

}  // namespace record_guard

namespace {

// No two guarded DATs share a slot.
constexpr auto kSlots = [] {
  std::array<const GuardedRecord*, 64> table{};
  for (const GuardedRecord& r : kGuarded) table[record_guard::Slot(r.dat)] = &r;
  return table;
}();
constexpr bool Distinct() {
  int count = 0;
  for (const GuardedRecord* r : kSlots) count += r != nullptr;
  return count == static_cast<int>(std::size(kGuarded));
}
static_assert(Distinct());

struct Overruns {
  std::vector<RecordOverrun> kept;
  std::size_t count = 0;
};
Overruns& TheOverruns() {
  static Overruns overruns;
  return overruns;
}

// Bytes from the guard's start to the last one changed; the guard is re-armed.
std::size_t Overwritten(unsigned char* guard) {
  if (record_guard::Intact(guard)) return 0;
  std::size_t last = 0;
  for (std::size_t i = 0; i < kRecordGuardBytes; ++i) {
    if (guard[i] != kRecordGuardByte) last = i + 1;
  }
  std::memset(guard, kRecordGuardByte, kRecordGuardBytes);
  return last;
}

void Note(const char* record, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, std::size_t bytes) {
  const std::string call = TripletText(dg, dat, msg);
  LogNote("%s: the Source wrote past the end of %s, %u byte(s) of the guard after it overwritten",
          call.c_str(), record, static_cast<unsigned>(bytes));
  Overruns& overruns = TheOverruns();
  ++overruns.count;
  if (overruns.kept.size() < kMaxOverrunsKept) overruns.kept.push_back({record, call, bytes});
}

}  // namespace

void record_guard::Report(const GuardedRecord* record, unsigned char* buffer, GuardBytes& app,
                          GuardBytes& source, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
  if (record) {
    if (const std::size_t bytes = Overwritten(buffer + record->size))
      Note(record->name, dg, dat, msg, bytes);
  }
  if (const std::size_t bytes = Overwritten(app.bytes))
    Note("the application's TW_IDENTITY", dg, dat, msg, bytes);
  if (const std::size_t bytes = Overwritten(source.bytes))
    Note("the Source's TW_IDENTITY", dg, dat, msg, bytes);
}

const std::array<const GuardedRecord*, 64> record_guard::g_slots = kSlots;

const GuardedRecord* GuardedRecordOf(TW_UINT16 dat) {
  return record_guard::Find(dat);
}

const std::vector<RecordOverrun>& RecordOverruns() {
  return TheOverruns().kept;
}
std::size_t RecordOverrunCount() {
  return TheOverruns().count;
}
void ResetRecordOverruns() {
  TheOverruns() = {};
}
