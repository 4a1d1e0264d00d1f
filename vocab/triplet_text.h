// Names of data groups, data argument types and messages, and the one text
// form of a triplet used by the log and by test messages.
#pragma once

#include <string>

#include "twain/twain.h"

// "DG_CONTROL", or "DG_0x%04x" for a group no table lists.
std::string DataGroupName(TW_UINT32 dg);
// "DAT_IDENTITY", or "DAT_0x%04x".
std::string DataArgTypeName(TW_UINT16 dat);
// "MSG_OPENDS", or "MSG_0x%04x".
std::string MessageName(TW_UINT16 msg);
// "DG_CONTROL / DAT_IDENTITY / MSG_OPENDS"
std::string TripletText(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg);
