#include "pages/fault_note.h"

#include "pages/log.h"

void LogFaultPlace(const platform::FaultInfo& fault) {
  LogNote("exception 0x%08x at %s in thread %u", static_cast<unsigned>(fault.code),
          fault.place[0] ? fault.place : "an address no module holds",
          static_cast<unsigned>(fault.threadId));
  if (fault.dumpPath[0]) LogNote("minidump written to %s", fault.dumpPath);
}

void LogUnguardedFault(std::uint32_t code, std::uint32_t threadId, const char* place) {
  LogNote("unhandled exception 0x%08x at %s in thread %u, which no guard covers: the process ends",
          static_cast<unsigned>(code), place && place[0] ? place : "an address no module holds",
          static_cast<unsigned>(threadId));
}
