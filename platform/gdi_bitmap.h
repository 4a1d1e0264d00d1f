// GDI bitmaps (HBITMAP) that a Source hands back where a native transfer
// owes a packed DIB in a movable block.
#pragma once

#include "platform/handles.h"

namespace platform {

// Whether the handle names a GDI bitmap rather than a memory block.
bool IsGdiBitmap(MemoryHandle handle);
// A packed DIB in a new movable block with the bitmap's pixels: a 40-byte
// header, bottom-up rows, its colour table or bit-field masks. The bitmap is
// deleted either way; null when it could not be read.
MemoryHandle TakeGdiBitmap(MemoryHandle bitmap);

}  // namespace platform
