// Check Source as the window and a script run it: the states it starts
// from, the way down to state 4 it takes first, its progress line and what
// its report page shows. RunSourceCheck is the one way both run the pass.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "checks/conformance.h"
#include "pages/session_ladder.h"

// The pass runs in state 4; from 5 and 6 the session goes down to it first.
bool CheckAllowedIn(int state);
// Whether starting in this state resets pending transfers and disables the Source.
bool CheckGoesDownFrom(int state);
// Asked (OK or Cancel) before the window goes down.
extern const char* const kCheckGoDownQuestion;

// The group names of "identity,status", each one of CheckGroups(); false
// with the reason at the first empty or unknown name.
bool ReadCheckGroups(const std::string& list, std::vector<std::string>& groups, std::string& why);

// The progress line while a group runs: "Checking the Source: status (2 of 5)...".
std::string CheckProgressText(const char* group, int index, int count);

// Goes down to state 4 as Lower does (pending transfers reset, the Source
// disabled), then runs the pass as a step of the ladder with a progress
// line per group; `painted` is called after each so a window can show it.
// A pass that could not start says why in `stopped`.
CheckResult RunSourceCheck(SessionLadder& ladder, const std::vector<std::string>& groups,
                           const std::function<void()>& painted = {});

// The report page: its caption, its text with the line ends a multi-line
// edit control breaks at, and the file name "Save Report..." offers.
std::string CheckPageCaption(const CheckResult& result);
std::string CheckPageText(const CheckResult& result);
std::string CheckReportFileName(const CheckResult& result);
