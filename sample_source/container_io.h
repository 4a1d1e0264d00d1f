// Capability containers as they cross the boundary: built by the Source in
// fresh movable blocks that the application frees, and read from the
// application's blocks without reaching past their size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/handles.h"
#include "twain/twain.h"

namespace sample {

using Bytes = std::vector<std::uint8_t>;

// Bytes of one item of the type; 0 for a type this Source does not know.
std::size_t ItemSize(TW_UINT16 itemType);
// Equal, or integer types of the same width (TWTY_INT16 and TWTY_UINT16).
bool CompatibleTypes(TW_UINT16 a, TW_UINT16 b);

TW_FIX32 ToFix32(double value);
double FromFix32(TW_FIX32 value);

// Numbers of the types up to TWTY_FIX32; integers are rounded to nearest.
Bytes EncodeNumber(TW_UINT16 itemType, double value);
double DecodeNumber(TW_UINT16 itemType, const std::uint8_t* item);
Bytes EncodeFrame(const TW_FRAME& frame);
// A string item: the text, cut to leave a terminating zero, padded with zeros.
Bytes EncodeText(TW_UINT16 itemType, const char* text);

// Each builder returns a fresh movable block, or null when allocation fails.
// `items` holds the items back to back, each ItemSize(itemType) bytes.
platform::MemoryHandle BuildOneValue(TW_UINT16 itemType, const Bytes& item);
platform::MemoryHandle BuildEnumeration(TW_UINT16 itemType, const Bytes& items,
                                        TW_UINT32 currentIndex, TW_UINT32 defaultIndex);
platform::MemoryHandle BuildArray(TW_UINT16 itemType, const Bytes& items);
// Range values are numbers of the item type, stored in the 32-bit slots.
platform::MemoryHandle BuildRange(TW_UINT16 itemType, double min, double max, double step,
                                  double defaultValue, double currentValue);

// A container the application handed over, copied out of its block.
struct ReceivedContainer {
  TW_UINT16 conType = 0;
  TW_UINT16 itemType = 0;
  std::vector<Bytes> items;  // one-value: one item; range: none
  TW_UINT32 currentIndex = 0;
  TW_UINT32 defaultIndex = 0;
  // Range: min, max, step, default, current, as numbers of the item type.
  std::array<double, 5> range{};
};

// Nothing when the block is missing, smaller than its header and items
// claim, of an unknown container or item type, or a range of a type that
// does not fit a 32-bit slot.
std::optional<ReceivedContainer> ReadContainer(TW_UINT16 conType, platform::MemoryHandle block);

}  // namespace sample
