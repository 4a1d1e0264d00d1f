#include "session/record_guard.h"

#include <iterator>

#include "pages/log.h"
#include "vocab/triplet_text.h"

namespace record_guard {
namespace {

struct Armed {
  Armed() {
    for (KeptIdentity* kept : {&g_app, &g_source})
      std::memset(kept->guard, kRecordGuardByte, sizeof(kept->guard));
  }
};

}  // namespace

KeptIdentity g_app;
KeptIdentity g_source;
const Armed g_armed;

}  // namespace record_guard

namespace {

constexpr GuardedRecord kGuarded[] = {
    {DAT_CAPABILITY, sizeof(TW_CAPABILITY), "TW_CAPABILITY"},
    {DAT_EVENT, sizeof(TW_EVENT), "TW_EVENT"},
    {DAT_PENDINGXFERS, sizeof(TW_PENDINGXFERS), "TW_PENDINGXFERS"},
    {DAT_SETUPMEMXFER, sizeof(TW_SETUPMEMXFER), "TW_SETUPMEMXFER"},
    {DAT_SETUPFILEXFER, sizeof(TW_SETUPFILEXFER), "TW_SETUPFILEXFER"},
    {DAT_STATUS, sizeof(TW_STATUS), "TW_STATUS"},
    {DAT_USERINTERFACE, sizeof(TW_USERINTERFACE), "TW_USERINTERFACE"},
    {DAT_IMAGEINFO, sizeof(TW_IMAGEINFO), "TW_IMAGEINFO"},
    {DAT_IMAGELAYOUT, sizeof(TW_IMAGELAYOUT), "TW_IMAGELAYOUT"},
    {DAT_IMAGEMEMXFER, sizeof(TW_IMAGEMEMXFER), "TW_IMAGEMEMXFER"},
};
constexpr bool Fits() {
  for (const GuardedRecord& r : kGuarded) {
    if (r.size > kMaxGuardedRecord) return false;
  }
  return true;
}
static_assert(Fits());

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

void record_guard::Report(const GuardedRecord* record, unsigned char* buffer, TW_UINT32 dg,
                          TW_UINT16 dat, TW_UINT16 msg) {
  if (record) {
    if (const std::size_t bytes = Overwritten(buffer + record->size))
      Note(record->name, dg, dat, msg, bytes);
  }
  if (const std::size_t bytes = Overwritten(g_app.guard))
    Note("the application's TW_IDENTITY", dg, dat, msg, bytes);
  if (const std::size_t bytes = Overwritten(g_source.guard))
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
