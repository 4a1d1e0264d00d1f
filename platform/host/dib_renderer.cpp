// The host renderer records each call and reads every byte it was given, as a
// real renderer would, so the sanitizer sees a span that reaches too far.
#include "platform/dib_renderer.h"

#include <utility>

#include "platform/host/host_platform.h"
#include "platform/host/host_reset.h"

namespace platform {
namespace {

struct RendererRecord {
  std::vector<host::DibDrawRecord> draws;
  int realizeCount = 0;
  std::uint32_t realizeInfoChecksum = 0;
  unsigned realizeResult = 0;
};

RendererRecord& Record() {
  static RendererRecord record;
  return record;
}

std::uint32_t Checksum(const void* data, std::size_t bytes) {
  std::uint32_t sum = 2166136261u;  // FNV-1a
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < bytes; ++i) sum = (sum ^ p[i]) * 16777619u;
  return sum;
}

}  // namespace

bool DrawDibScaled(DeviceContext context, const DibPicture& picture, const DrawRect& destination,
                   const DrawRect& source) {
  if (!context || !picture.info || !picture.bits) return false;
  host::DibDrawRecord draw;
  draw.context = context;
  draw.destination = destination;
  draw.source = source;
  const auto* info = static_cast<const unsigned char*>(picture.info);
  draw.info.assign(info, info + picture.infoBytes);
  draw.bitsBytes = picture.bitsBytes;
  draw.bitsChecksum = Checksum(picture.bits, picture.bitsBytes);
  Record().draws.push_back(std::move(draw));
  return true;
}

unsigned RealizeDibPalette(DeviceContext context, const DibPicture& picture) {
  if (!context || !picture.info) return 0;
  Record().realizeInfoChecksum = Checksum(picture.info, picture.infoBytes);
  ++Record().realizeCount;
  return Record().realizeResult;
}

namespace host {

std::vector<DibDrawRecord> TakeDibDraws() {
  return std::exchange(Record().draws, {});
}
int DibRealizeCount() {
  return Record().realizeCount;
}
void SetDibRealizeResult(unsigned result) {
  Record().realizeResult = result;
}
std::uint32_t DibChecksum(const void* data, std::size_t bytes) {
  return Checksum(data, bytes);
}
void ResetDibRenderer() {
  Record() = RendererRecord{};
}

}  // namespace host
}  // namespace platform
