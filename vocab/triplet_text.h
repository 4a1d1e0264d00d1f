// Names of data groups, data argument types and messages, and the one text
// form of a triplet used by the log and by test messages.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "twain/twain.h"

// "DG_CONTROL", or "DG_0x%04x" for a group no table lists.
std::string DataGroupName(TW_UINT32 dg);
// "DAT_IDENTITY", or "DAT_0x%04x".
std::string DataArgTypeName(TW_UINT16 dat);
// "MSG_OPENDS", or "MSG_0x%04x".
std::string MessageName(TW_UINT16 msg);
// The names the tables list, or null: nothing is built, for callers that
// name thousands of triplets.
const char* KnownDataGroupName(TW_UINT32 dg);
const char* KnownDataArgTypeName(TW_UINT16 dat);
const char* KnownMessageName(TW_UINT16 msg);
// The codes of those names, ignoring case; nothing for a name no table lists.
std::optional<int> DataGroupByName(std::string_view name);
std::optional<int> DataArgTypeByName(std::string_view name);
std::optional<int> MessageByName(std::string_view name);
// "DG_CONTROL / DAT_IDENTITY / MSG_OPENDS"
std::string TripletText(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg);
