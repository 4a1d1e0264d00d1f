// What the Source page shows: the open Source's TW_IDENTITY as a report, or
// a notice when no Source is open.
#pragma once

#include <optional>
#include <string>

#include "twain/twain.h"

constexpr const char* kNoSourceText = "No Data Source is open.";

// " DG_CONTROL DG_IMAGE" without its leading blank.
std::string SupportedGroupsText(TW_UINT32 groups);
std::string SourceIdentityReport(const TW_IDENTITY& identity);
// The page's new text for a state change, or nothing when it keeps its text.
std::optional<std::string> SourcePageText(int newState, int shownState);
