// The floating-point control words of x86 processors, the same on every
// platform the program builds for.
#include "platform/fault_guard.h"

namespace platform {

void RestoreFloatControl(const FloatControl& saved) {
  // Flags left pending would fault at the next instruction that looks at them.
  const std::uint16_t x87 = static_cast<std::uint16_t>(saved.x87);
  std::uint32_t sse = saved.sse & ~0x3Fu;
  asm volatile("fnclex\n\tfldcw %0" : : "m"(x87));
  asm volatile("ldmxcsr %0" : : "m"(sse));
}

}  // namespace platform
