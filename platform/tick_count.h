// Milliseconds since an arbitrary start, wrapping at 2^32.
#pragma once

#include <cstdint>

namespace platform {

std::uint32_t TickCount();

}  // namespace platform
