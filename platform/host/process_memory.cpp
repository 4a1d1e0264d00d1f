// The host's private bytes are a number the tests set and grow.
#include "platform/process_memory.h"

#include "platform/host/host_platform.h"
#include "platform/host/host_reset.h"

namespace platform {
namespace {
constexpr std::uint64_t kStartBytes = 64ull << 20;
std::uint64_t g_privateBytes = kStartBytes;
}  // namespace

std::uint64_t PrivateBytes() {
  return g_privateBytes;
}

namespace host {
void AddPrivateBytes(std::uint64_t bytes) {
  g_privateBytes += bytes;
}
void ResetProcessMemory() {
  g_privateBytes = kStartBytes;
}
}  // namespace host
}  // namespace platform
