// A session trace: every triplet the probe sent, with the records and the
// memory they point to, in one file a person can read and a program can
// play back. The file:
//
//   VORREL-TRACE 1
//   pointer-bytes 8
//   windows Windows 10.0.19045
//   manager C:\WINDOWS\twain_32.dll
//   manager-version 2.4.3
//   probe 1.26
//   #12 0.153s app 1 -> src 2 DG_CONTROL / DAT_CAPABILITY / MSG_GET ICAP_PIXELTYPE -> TWRC_SUCCESS
//     in 01010000...
//     out 01010500...
//     container out 5 0400010000000000
//     ~ uint16 ONEVALUE = TWPT_GRAY
//   #13 0.154s app 1 -> src 2 DG_IMAGE / DAT_IMAGENATIVEXFER / MSG_GET -> TWRC_XFERDONE
//     out 4000e61a...
//   blob 1234 bytes dib
//   <exactly 1234 raw bytes>
//
// A call's line is written up to its triplet before the call and ended with
// its return code after it, so a hang or a crash leaves the call on disk
// (" ..." ends a line whose call had another inside it; its outcome then
// follows as "#12 -> TWRC_SUCCESS"). DAT_STATUS lines carry the condition
// code, which belongs to the call before. A call numbered #0 is not one
// that was sent: it is how things stood when the recording began (the
// Source already open, and the answers it had given). Lines beginning "  ~" are for
// people and are not read back. Line numbers count text lines; a blob's
// bytes are not lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "twain/twain.h"

constexpr std::string_view kTraceMagic = "VORREL-TRACE";
constexpr int kTraceVersion = 1;

// Limits of what a trace may hold; a reader refuses anything beyond them.
constexpr std::size_t kMaxTraceLineBytes = std::size_t{4} << 20;
constexpr std::size_t kMaxTraceBlobBytes = std::size_t{512} << 20;
constexpr std::size_t kMaxTraceBlobs = std::size_t{1} << 20;
constexpr std::size_t kMaxTraceCalls = std::size_t{1} << 22;
// Containers beyond this are noted, not recorded.
constexpr std::size_t kMaxTraceContainerBytes = std::size_t{1} << 20;

// Bytes of the record a triplet's data points to, for a build whose
// pointers have `pointerBytes` bytes; 0 for a DAT that carries no record we
// know (DAT_NULL, DAT_IMAGEFILEXFER, unknown ones).
std::size_t TraceRecordSize(TW_UINT16 dat, int pointerBytes);
// A pointer or handle in a record means nothing outside the process that
// recorded it, and would make two traces of the same session differ: each
// is written as 1 when it was set and 0 when it was null.
void MaskTracePointers(TW_UINT16 dat, std::uint8_t* bytes, std::size_t size, int pointerBytes);

// What a blob holds: a native DIB block, the bytes a memory strip wrote,
// a transferred file.
enum class BlobKind { kDib, kStrip, kFile };
const char* BlobKindName(BlobKind kind);
std::optional<BlobKind> BlobKindByName(std::string_view name);

struct TraceBlob {
  BlobKind kind = BlobKind::kDib;
  std::vector<std::uint8_t> bytes;
  bool operator==(const TraceBlob&) const = default;
};

// An image recorded without its pixels: what it was and a checksum.
struct TraceImageSummary {
  BlobKind kind = BlobKind::kDib;
  std::int32_t width = 0;  // 0 when the bytes had no readable header
  std::int32_t height = 0;
  int depth = 0;
  std::uint64_t bytes = 0;
  std::uint32_t crc32 = 0;
  bool operator==(const TraceImageSummary&) const = default;
};

struct TraceContainer {
  TW_UINT16 format = 0;  // TWON_*
  std::vector<std::uint8_t> bytes;
  bool operator==(const TraceContainer&) const = default;
};

struct TraceCall {
  std::uint32_t number = 0;
  std::uint32_t millis = 0;  // since the recording began
  TW_UINT32 originId = 0;
  bool toSource = false;  // else the Manager
  TW_UINT32 destinationId = 0;
  TW_UINT32 dg = 0;
  TW_UINT16 dat = 0;
  TW_UINT16 msg = 0;
  TW_UINT16 cap = 0;  // DAT_CAPABILITY only
  bool returned = false;
  TW_UINT16 rc = 0;
  int cc = -1;  // the condition code, when DAT_STATUS asked for it
  // MSG_PROCESSEVENT calls the Source did not claim, since the call before.
  std::uint32_t unclaimedEventsBefore = 0;
  std::vector<std::uint8_t> in;   // the record before the call
  std::vector<std::uint8_t> out;  // and after it
  std::optional<TraceContainer> containerIn;
  std::optional<TraceContainer> containerOut;
  std::vector<TraceBlob> blobs;
  std::vector<TraceImageSummary> images;
  bool operator==(const TraceCall&) const = default;
};

struct TraceMachine {
  int pointerBytes = static_cast<int>(sizeof(void*));
  std::string windows;
  std::string manager;
  std::string managerVersion;
  std::string probe;
  bool operator==(const TraceMachine&) const = default;
};

struct Trace {
  TraceMachine machine;
  std::vector<TraceCall> calls;
};

// The IEEE CRC-32 of the bytes, continued from `crc` (0 to start).
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
