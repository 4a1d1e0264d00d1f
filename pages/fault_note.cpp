#include "pages/fault_note.h"

#include "pages/log.h"
#include "platform/message_box.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "vocab/number_text.h"

namespace {

constexpr const char* kPageFaultText =
    "An exception (a fatal execution error) occurred in the Data Source during %s.\n\nSource: "
    "%s\n\nTWAIN has been reset to State 1. Open the Source again to go on.";

}  // namespace

void LogFaultPlace(const platform::FaultInfo& fault) {
  LogNote("exception 0x%08x at %s in thread %u", static_cast<unsigned>(fault.code),
          fault.place[0] ? fault.place : "an address no module holds",
          static_cast<unsigned>(fault.threadId));
  if (fault.dumpPath[0]) LogNote("minidump written to %s", fault.dumpPath);
}

void ReportPageFault(const platform::FaultInfo& fault, const std::string& request,
                     platform::WindowHandle owner) {
  LogNote("exception 0x%08x in the Source during %s: TWAIN was reset",
          static_cast<unsigned>(fault.code), request.c_str());
  LogFaultPlace(fault);
  // The product name goes with the session the reset ends.
  const std::string product = TWAIN_SourceProductName();
  TWAIN_Shutdown();
  TWAIN_Startup();
  const std::string text = FormatText(kPageFaultText, request.c_str(), product.c_str());
  platform::InfoBox(owner, text.c_str(), kProgramCaption);
}

void LogUnguardedFault(std::uint32_t code, std::uint32_t threadId, const char* place) {
  LogNote("unhandled exception 0x%08x at %s in thread %u, which no guard covers: the process ends",
          static_cast<unsigned>(code), place && place[0] ? place : "an address no module holds",
          static_cast<unsigned>(threadId));
}
