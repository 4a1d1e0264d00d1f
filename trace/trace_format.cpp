#include "trace/trace_format.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

// A record's size is its fixed bytes plus its pointers' bytes; its
// pointers lie together, after `pointersAfter` of the fixed bytes.
struct RecordKind {
  TW_UINT16 dat;
  std::size_t fixedBytes;
  std::size_t pointers;
  std::size_t pointersAfter;
};

constexpr RecordKind kRecordKinds[] = {
    {DAT_CAPABILITY, 4, 1, 4},      {DAT_EVENT, 2, 1, 0},        {DAT_IDENTITY, 156, 0, 0},
    {DAT_PARENT, 0, 1, 0},          {DAT_PENDINGXFERS, 6, 0, 0}, {DAT_SETUPMEMXFER, 12, 0, 0},
    {DAT_SETUPFILEXFER, 260, 0, 0}, {DAT_STATUS, 4, 0, 0},       {DAT_USERINTERFACE, 4, 1, 4},
    {DAT_IMAGEINFO, 42, 0, 0},      {DAT_IMAGELAYOUT, 28, 0, 0}, {DAT_IMAGEMEMXFER, 34, 1, 34},
    {DAT_IMAGENATIVEXFER, 0, 1, 0}, {DAT_PALETTE8, 1028, 0, 0},  {DAT_ENTRYPOINT, 4, 5, 4},
    {DAT_CALLBACK, 6, 1, 0},
};

constexpr const RecordKind* FindKind(TW_UINT16 dat) {
  for (const RecordKind& kind : kRecordKinds)
    if (kind.dat == dat) return &kind;
  return nullptr;
}

constexpr std::size_t RecordSize(TW_UINT16 dat, std::size_t pointerBytes) {
  const RecordKind* kind = FindKind(dat);
  return kind ? kind->fixedBytes + kind->pointers * pointerBytes : 0;
}

// The table agrees with the records this build passes.
static_assert(RecordSize(DAT_CAPABILITY, kPtr) == sizeof(TW_CAPABILITY));
static_assert(RecordSize(DAT_EVENT, kPtr) == sizeof(TW_EVENT));
static_assert(RecordSize(DAT_IDENTITY, kPtr) == sizeof(TW_IDENTITY));
static_assert(RecordSize(DAT_PENDINGXFERS, kPtr) == sizeof(TW_PENDINGXFERS));
static_assert(RecordSize(DAT_SETUPMEMXFER, kPtr) == sizeof(TW_SETUPMEMXFER));
static_assert(RecordSize(DAT_SETUPFILEXFER, kPtr) == sizeof(TW_SETUPFILEXFER));
static_assert(RecordSize(DAT_STATUS, kPtr) == sizeof(TW_STATUS));
static_assert(RecordSize(DAT_USERINTERFACE, kPtr) == sizeof(TW_USERINTERFACE));
static_assert(RecordSize(DAT_IMAGEINFO, kPtr) == sizeof(TW_IMAGEINFO));
static_assert(RecordSize(DAT_IMAGELAYOUT, kPtr) == sizeof(TW_IMAGELAYOUT));
static_assert(RecordSize(DAT_IMAGEMEMXFER, kPtr) == sizeof(TW_IMAGEMEMXFER));
static_assert(RecordSize(DAT_IMAGENATIVEXFER, kPtr) == sizeof(TW_HANDLE));
static_assert(RecordSize(DAT_PALETTE8, kPtr) == sizeof(TW_PALETTE8));
static_assert(RecordSize(DAT_ENTRYPOINT, kPtr) == sizeof(TW_ENTRYPOINT));
static_assert(RecordSize(DAT_CALLBACK, kPtr) == sizeof(TW_CALLBACK));
static_assert(offsetof(TW_CAPABILITY, hContainer) == 4);
static_assert(offsetof(TW_USERINTERFACE, hParent) == 4);
static_assert(offsetof(TW_IMAGEMEMXFER, Memory) + offsetof(TW_MEMORY, TheMem) == 34);
static_assert(offsetof(TW_ENTRYPOINT, DSM_Entry) == 4);

constexpr const char* kBlobKindNames[] = {"dib", "strip", "file"};

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

std::size_t TraceRecordSize(TW_UINT16 dat, int pointerBytes) {
  return RecordSize(dat, static_cast<std::size_t>(pointerBytes));
}

void MaskTracePointers(TW_UINT16 dat, std::uint8_t* bytes, std::size_t size, int pointerBytes) {
  const RecordKind* kind = FindKind(dat);
  if (!kind) return;
  const auto width = static_cast<std::size_t>(pointerBytes);
  for (std::size_t p = 0; p < kind->pointers; ++p) {
    const std::size_t at = kind->pointersAfter + p * width;
    if (at + width > size) return;
    bool set = false;
    for (std::size_t i = 0; i < width; ++i) set |= bytes[at + i] != 0;
    std::fill(bytes + at, bytes + at + width, std::uint8_t{0});
    bytes[at] = set ? 1 : 0;
  }
}

const char* BlobKindName(BlobKind kind) {
  return kBlobKindNames[static_cast<int>(kind)];
}

std::optional<BlobKind> BlobKindByName(std::string_view name) {
  for (int k = 0; k < 3; ++k)
    if (name == kBlobKindNames[k]) return static_cast<BlobKind>(k);
  return std::nullopt;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}
