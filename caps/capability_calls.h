// The capability triplets: get, get current, get default, set and reset of
// one capability of the open Source, each one DG_CONTROL / DAT_CAPABILITY
// call through TWAIN_DS. Below state 4 they refuse with a message and send
// nothing.
#pragma once

#include <cstdint>

#include "caps/container.h"
#include "twain/twain.h"

// A new container the caller frees, or null.
ContainerHandle* TWAIN_Get(TW_UINT16 cap);
ContainerHandle* TWAIN_GetCurrent(TW_UINT16 cap);
ContainerHandle* TWAIN_GetDefault(TW_UINT16 cap);
// The handle stays the caller's.
bool TWAIN_SetCap(TW_UINT16 cap, const ContainerHandle* h);
// Item types TWTY_INT8 to TWTY_BOOL only.
bool TWAIN_SetCapOneValue(TW_UINT16 cap, int itemType, std::int32_t value);
bool TWAIN_Reset(TW_UINT16 cap);
// Copies the current value, when the Source's answer holds one of a
// compatible type, into buffer (the item size of itemType in bytes).
bool TWAIN_GetCurrentValue(TW_UINT16 cap, int itemType, void* buffer);
// The current value as 16-bit unsigned, else the fallback's low 16 bits.
TW_UINT16 TWAIN_GetCurrentUint16(TW_UINT16 cap, int fallback);
TW_UINT16 TWAIN_GetCurrentUnits();
