// Opaque handles the portable library passes through without looking inside.
#pragma once

namespace platform {

using WindowHandle = void*;
using ModuleHandle = void*;
using MemoryHandle = void*;

}  // namespace platform
