// The text that describes a received bitmap's header, and the note for a
// Source whose bitmap header disagrees with the block it came in.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/dib.h"

// "BI_RGB (uncompressed)", ..., or "%u - unknown format".
std::string CompressionName(std::uint32_t compression);
// The multi-line report of the bitmap's header fields. Reading it never frees
// the handle and leaves no reference on it.
std::string HeaderReport(DibHandle handle);
// Why the block cannot be shown, in words for a Source developer; empty when
// it is a bitmap that fits its block and holds data the renderer draws.
std::string BitmapBlockNote(DibHandle handle);
