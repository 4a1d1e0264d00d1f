// The standard names of capabilities, capability constants, item types,
// units, return codes and condition codes. A code no table lists still gets a
// text built from its number. Pure lookups: no state, no failure.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "vocab/code_table.h"

// "ICAP_UNITS"; unlisted codes below 0x8000 "0x%04x", custom ones "CAP_0x%04x".
std::string CapName(int cap);
// Names typed by a person are matched without regard to case.
bool EqualIgnoringCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
// The capability a standard name stands for, ignoring case; nothing for a
// name no table lists.
std::optional<int> CapCode(std::string_view name);
// The listed name alone, or null: no text is built, for loops over every code.
const char* KnownCapName(int cap);
// Every listed capability, ascending by code: for loops that ask only named codes.
std::span<const CodeName> KnownCapNames();
// The name of a capability's value ("TWUN_INCHES"), or nothing when the
// capability has no names or none for this value. The capability-list
// capabilities name every value with CapName.
std::optional<std::string> ConstantName(int cap, int value);
// "uint16", or "<type 0x%x?>".
std::string ItemTypeName(int itemType);
// "inch" / "inches", or "?".
std::string UnitName(int unit);
std::string UnitNamePlural(int unit);
// "TWRC_SUCCESS", or "<rc %u?>".
std::string ResultCodeName(int rc);
// "TWCC_BADCAP", or "<cc %u?>".
std::string ConditionCodeName(int cc);
// The codes a return or condition code name stands for, ignoring case.
std::optional<int> ResultCodeByName(std::string_view name);
std::optional<int> ConditionCodeByName(std::string_view name);
