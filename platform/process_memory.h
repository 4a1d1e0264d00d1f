// The process's private bytes: the memory it holds that no other process
// shares, which grows when anything in it leaks.
#pragma once

#include <cstdint>

namespace platform {

// 0 when the system does not say.
std::uint64_t PrivateBytes();

}  // namespace platform
