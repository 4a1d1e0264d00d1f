#include "trace/trace_format.h"

#include <array>

namespace {

// A record's size is its fixed bytes plus its pointers' bytes.
struct RecordKind {
  TW_UINT16 dat;
  std::size_t fixedBytes;
  std::size_t pointers;
};

constexpr RecordKind kRecordKinds[] = {
    {DAT_CAPABILITY, 4, 1},      {DAT_EVENT, 2, 1},        {DAT_IDENTITY, 156, 0},
    {DAT_PARENT, 0, 1},          {DAT_PENDINGXFERS, 6, 0}, {DAT_SETUPMEMXFER, 12, 0},
    {DAT_SETUPFILEXFER, 260, 0}, {DAT_STATUS, 4, 0},       {DAT_USERINTERFACE, 4, 1},
    {DAT_IMAGEINFO, 42, 0},      {DAT_IMAGELAYOUT, 28, 0}, {DAT_IMAGEMEMXFER, 34, 1},
    {DAT_IMAGENATIVEXFER, 0, 1}, {DAT_PALETTE8, 1028, 0},  {DAT_ENTRYPOINT, 4, 5},
    {DAT_CALLBACK, 6, 1},
};

constexpr std::size_t RecordSize(TW_UINT16 dat, std::size_t pointerBytes) {
  for (const RecordKind& kind : kRecordKinds)
    if (kind.dat == dat) return kind.fixedBytes + kind.pointers * pointerBytes;
  return 0;
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
