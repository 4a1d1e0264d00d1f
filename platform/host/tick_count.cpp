#include "platform/tick_count.h"

#include "platform/host/host_platform.h"
#include "platform/host/host_reset.h"

namespace platform {
namespace {
constexpr std::uint32_t kStartTicks = 1000;
std::uint32_t g_ticks = kStartTicks;
}  // namespace

std::uint32_t TickCount() {
  return g_ticks;
}

namespace host {
void SetTickCount(std::uint32_t ticks) {
  g_ticks = ticks;
}
void AdvanceTickCount(std::uint32_t milliseconds) {
  g_ticks += milliseconds;
}
void ResetTickCount() {
  g_ticks = kStartTicks;
}
}  // namespace host
}  // namespace platform
