// Capability values as text and back: one number form per item type, the
// constant's name where the capability has one, frames and strings in forms
// of their own; typed text parsed into a container item.
#pragma once

#include <string>
#include <string_view>

#include "caps/container.h"

// The text of one number stored as the item type, for the capability.
std::string ValueText(int itemType, double value, int cap);
// The text of one stored item of any type; item addresses a whole item (as
// CONTAINER_ItemPtr gives), or is null when there is none.
std::string ItemText(int itemType, const void* item, int cap);
// "uint16 ONEVALUE = TWPT_RGB"
std::string OneValueText(const ContainerHandle* h, int cap);
// A stored numeric item as a number; 0 for the other types.
double ItemNumber(const void* item, int itemType);
// A plain number type whose value 0 has a name: its values are picked from a
// list of names, in value order.
bool HasNamedValues(int itemType, int cap);
// A value's text that is a name (TWUN_INCHES), not a number.
bool IsValueName(std::string_view text);
// Parses text into item index of the container: a frame from four numbers,
// a string as it is, a named value from the selected list index, any other
// number from its decimal text. False when the text or the store was refused.
// The longest decimal number at the start of the text, after blanks; 0 when
// there is none. Hexadecimal, infinities and NaN are not decimal numbers.
double ParseDecimal(const char* text);
bool StoreItemText(ContainerHandle* h, int index, int cap, const char* text, int selected);
