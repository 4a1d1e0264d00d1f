// Where a fault caught by the guard happened, as notes under the report
// that names what was running: the module and offset, the thread, the dump.
// And the guard around a page's own request to the Source.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "pages/log.h"
#include "platform/fault_guard.h"
#include "platform/handles.h"
#include "session/source_guard.h"

void LogFaultPlace(const platform::FaultInfo& fault);
// A fault on a thread no guard covers, just before the process ends.
void LogUnguardedFault(std::uint32_t code, std::uint32_t threadId, const char* place);

// After a fault in a page's own request (`request` names it, as
// "MSG_GET(ICAP_UNITS)"): the notes, the library's hard reset and the box.
void ReportPageFault(const platform::FaultInfo& fault, const std::string& request,
                     platform::WindowHandle owner);

// Runs a page's request to the Source under the fault guard; false after a
// fault, which has been reported. `release` frees what the request held
// while the library that made it is still there.
template <class F, class R = void (*)()>
bool AskSourceGuarded(
    const std::string& request, platform::WindowHandle owner, F&& ask, R&& release = [] {}) {
  const bool logOn = LogSwitch();
  platform::FaultInfo fault;
  platform::GuardOptions options;
  options.dismissOverflow = true;
  if (RunSourceGuarded(std::forward<F>(ask), &fault, options)) return true;
  // A silent refresh the fault cut short left the log switched off.
  SetLogSwitch(logOn);
  release();
  ReportPageFault(fault, request, owner);
  return false;
}
