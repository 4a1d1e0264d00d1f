// Which TWAIN item types (TWTY_*) hold a number and which hold text.
#pragma once

#include "twain/twain.h"

// TWTY_INT8 to TWTY_FIX32, the bool included.
constexpr bool IsNumberType(int itemType) {
  return itemType >= TWTY_INT8 && itemType <= TWTY_FIX32;
}

// TWTY_STR32 to TWTY_STR255.
constexpr bool IsStringType(int itemType) {
  return itemType >= TWTY_STR32 && itemType <= TWTY_STR255;
}
