// The lines around each call into the Source Manager or a Source. Every
// triplet the library sends passes here: the floating-point control words
// are kept across it, the call in flight is published for the watchdog
// thread, and an observer (a session trace) sees it before and after.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "twain/twain.h"

struct CallSite {
  TW_UINT32 dg = 0;
  TW_UINT16 dat = 0;
  TW_UINT16 msg = 0;
  TW_UINT16 cap = 0;  // the capability of a DAT_CAPABILITY triplet, else 0
  bool toSource = false;
};

// What the watchdog reads from its own thread. `depth` counts calls in
// progress (a Source that pumps messages may let another start inside its
// own); `serial` changes with every outermost call; `what` packs the
// innermost call's site.
struct InFlightCalls {
  std::atomic<std::uint32_t> depth{0};
  std::atomic<std::uint32_t> serial{0};
  std::atomic<std::uint32_t> startTick{0};
  std::atomic<std::uint64_t> what{0};
};
InFlightCalls& CallsInFlight();
std::uint64_t PackCallSite(const CallSite& site);
CallSite UnpackCallSite(std::uint64_t packed);
// "MSG_GET(ICAP_PIXELTYPE)" for a capability, else the triplet as the log writes it.
std::string CallSiteText(const CallSite& site);

class CallObserver {
 public:
  virtual ~CallObserver() = default;
  virtual void BeforeCall(const CallSite& site, TW_MEMREF data) = 0;
  virtual void AfterCall(const CallSite& site, TW_MEMREF data, TW_UINT16 rc) = 0;
};
// One observer at a time; null for none.
void SetCallObserver(CallObserver* observer);

// Sends one triplet through the Manager's entry with the lines around it.
TW_UINT16 CallThroughSeam(DSMENTRYPROC entry, TW_IDENTITY* origin, TW_IDENTITY* destination,
                          TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

// Back to no call in flight and no observer (shutdown after a fault, tests).
void ResetCallSeam();
