// The capability operations the user triggers: each performs its get, set
// or reset, describes the outcome as a result text and writes one line to
// the log. Setting or resetting ICAP_XFERMECH also remembers the probe's
// transfer mechanism.
#pragma once

#include <cstdint>
#include <string>

#include "caps/container.h"
#include "twain/twain.h"

ContainerHandle* LoggedGet(TW_UINT16 cap);
ContainerHandle* LoggedGetCurrent(TW_UINT16 cap);
ContainerHandle* LoggedGetDefault(TW_UINT16 cap);
// The handle stays the caller's.
bool LoggedSet(TW_UINT16 cap, const ContainerHandle* h);
bool LoggedSetOneValue(TW_UINT16 cap, int itemType, std::int32_t value);
bool LoggedReset(TW_UINT16 cap);

// The return code's name and, after anything but success, ", " and the
// condition code's name. Asks the condition code every time; kept as the
// last result text.
std::string ResultText();
std::string LastResultText();
// The same text for given codes, asking nothing and keeping nothing.
std::string ResultTextOf(int rc, TW_UINT16 cc);

// The probe's transfer mechanism (TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY) and
// whether the user negotiated it since the Source was opened.
int CurrentXferMech();
bool XferMechNegotiated();
void SetXferMechNegotiated(bool negotiated);

void ResetLoggedOperations();
