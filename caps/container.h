// Capability containers: one TW_ONEVALUE, TW_ENUMERATION, TW_RANGE or
// TW_ARRAY record in a movable memory block, wrapped in a handle that keeps
// the block locked for its life. Everything above the library reads and
// builds container memory through these calls only.
//
// A container a Source hands us is untrusted: every read and write is bounded
// by the size of its block, and item types without an item size give no item
// access at all.
#pragma once

#include <cstddef>
#include <cstdint>

#include "twain/twain.h"

constexpr std::uint32_t kContainerMagic = 0xFADE3210;

struct ContainerHandle {
  std::uint32_t magic = 0;
  std::int32_t format = 0;  // TWON_*; any other value is kept as given
  TW_HANDLE block = nullptr;
  void* data = nullptr;  // the block's address while the handle lives
  std::size_t size = 0;  // usable bytes of the block, taken when attached
};

// Bytes of one item of the type; 0 for a type the item-size table lacks.
int CONTAINER_ItemSize(int itemType);
// Block bytes for a container of the format holding n items; 0 for an
// unknown format or a negative n.
std::size_t CONTAINER_BlockSize(int format, int itemType, int n);

// Two item types whose items can be copied into each other unchanged: equal,
// or integer types of the same width.
bool ItemTypesCompatible(int a, int b);

// The TW_FIX32 rule: Whole signed, Frac in 1/65536; from a number, the
// nearest 1/65536 with halves away from zero.
double Fix32ToNumber(TW_FIX32 value);
TW_FIX32 NumberToFix32(double value);
// The double cut toward zero; NaN gives 0 and values beyond the 64-bit range
// saturate, so no conversion is undefined.
std::int64_t TruncateToInt64(double value);
// Reads one stored item (types 0..7) as a number; every other type gives 0.
double ReadItemNumber(const void* item, int itemType);

// Takes ownership of the block in every case: on failure it is freed.
ContainerHandle* CONTAINER_Attach(int format, TW_HANDLE block);
ContainerHandle* CONTAINER_CreateOneValue(int itemType, double value);
ContainerHandle* CONTAINER_CreateEnumeration(int itemType, int n);
ContainerHandle* CONTAINER_CreateRange(int itemType, double min, double max, double step);
ContainerHandle* CONTAINER_CreateArray(int itemType, int n);
void CONTAINER_Free(ContainerHandle* h);
// Non-null and carrying the magic: every operation checks this first.
bool CONTAINER_IsValid(const ContainerHandle* h);

int CONTAINER_Format(const ContainerHandle* h);
int CONTAINER_ItemType(const ContainerHandle* h);
int CONTAINER_ItemCount(const ContainerHandle* h);
double CONTAINER_ItemValue(const ContainerHandle* h, int n);
int CONTAINER_IntValue(const ContainerHandle* h, int n);
// The address of a whole item inside the block, or null.
void* CONTAINER_ItemPtr(const ContainerHandle* h, int n);
int CONTAINER_FindItem(const ContainerHandle* h, double value);
int CONTAINER_CurrentIndex(const ContainerHandle* h);
int CONTAINER_DefaultIndex(const ContainerHandle* h);
double CONTAINER_CurrentValue(const ContainerHandle* h);
double CONTAINER_DefaultValue(const ContainerHandle* h);
double CONTAINER_RangeMin(const ContainerHandle* h);
double CONTAINER_RangeMax(const ContainerHandle* h);
double CONTAINER_RangeStep(const ContainerHandle* h);

bool CONTAINER_SelectDefaultItem(ContainerHandle* h, int n);
bool CONTAINER_SelectCurrentItem(ContainerHandle* h, int n);
bool CONTAINER_SelectDefault(ContainerHandle* h, double value);
bool CONTAINER_SelectCurrent(ContainerHandle* h, double value);

bool CONTAINER_SetItemValue(ContainerHandle* h, int n, double value);
bool CONTAINER_SetItemText(ContainerHandle* h, int n, const char* text);
bool CONTAINER_SetItemFrame(ContainerHandle* h, int n, double left, double top, double right,
                            double bottom);

// A range never counts more items than this, so a caller walking its items
// ends in reasonable time whatever the Source declared.
constexpr int kMaxRangeItems = 1 << 20;
