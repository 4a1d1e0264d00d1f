// Where a fault caught by the guard happened, as notes under the report
// that names what was running: the module and offset, the thread, the dump.
#pragma once

#include <cstdint>

#include "platform/fault_guard.h"

void LogFaultPlace(const platform::FaultInfo& fault);
// A fault on a thread no guard covers, just before the process ends.
void LogUnguardedFault(std::uint32_t code, std::uint32_t threadId, const char* place);
