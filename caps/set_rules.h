// What a capability may be set with: the item type used for MSG_SET, the
// containers allowed and the one offered first. Fixed rows for the standard
// capabilities; any other code takes the item type the enumeration learned
// for it, or plain uint16 one-values.
#pragma once

#include <cstdint>

// Mask bit of a container type (TWON_ARRAY 3 gives 0x08 ... TWON_RANGE 6 gives 0x40).
constexpr int ContainerBit(int conType) {
  return conType >= 0 && conType < 31 ? 1 << conType : 0;
}
constexpr int kSetArray = 0x08;
constexpr int kSetEnumeration = 0x10;
constexpr int kSetOneValue = 0x20;
constexpr int kSetRange = 0x40;

struct SetRule {
  int itemType;
  int mask;  // 0: the capability cannot be set
  int first;
};

SetRule LookupSetRule(int cap);

// Item types learned by the enumeration: (capability, item type) pairs,
// appended while fewer than kItemTypeRegistrySize are held, never cleared
// while the program runs; the first pair of a code is the one that counts.
constexpr int kItemTypeRegistrySize = 256;
void RegisterItemType(std::uint32_t cap, std::uint32_t itemType);
int RegisteredItemTypeCount();
// -1 when the code has no pair.
int RegisteredItemType(std::uint32_t cap);
// Tests only: the registry of a freshly started program.
void ResetItemTypeRegistry();
