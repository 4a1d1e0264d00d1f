// The lines around each call into the Source Manager or a Source. Every
// triplet the library sends passes here: the floating-point control words
// are kept across it, the call in flight is published for the watchdog
// thread, and an observer (a session trace) sees it before and after.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/fault_guard.h"
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
// innermost call's site. No clock is read per call: the watchdog times a
// call from when it first sees its serial.
struct InFlightCalls {
  std::atomic<std::uint32_t> depth{0};
  std::atomic<std::uint32_t> serial{0};
  std::atomic<std::uint64_t> what{0};
};
extern InFlightCalls g_callsInFlight;
// The probe's floating-point control words, as the process started with them.
extern const platform::FloatControl g_probeFloatControl;
inline InFlightCalls& CallsInFlight() {
  return g_callsInFlight;
}
constexpr std::uint64_t PackCallSite(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 cap,
                                     bool toSource) {
  return std::uint64_t{dg & 0x7FFF} << 48 | std::uint64_t{toSource} << 63 |
         std::uint64_t{dat} << 32 | std::uint64_t{msg} << 16 | cap;
}
CallSite UnpackCallSite(std::uint64_t packed);
inline std::uint64_t PackCallSite(const CallSite& site) {
  return PackCallSite(site.dg, site.dat, site.msg, site.cap, site.toSource);
}
// "MSG_GET(ICAP_PIXELTYPE)" for a capability, else the triplet as the log writes it.
std::string CallSiteText(const CallSite& site);

class CallObserver {
 public:
  virtual ~CallObserver() = default;
  // False for an observer that needs only what calls answered: the seam then
  // spares every call the first of its two observer calls.
  bool watchesBefore = true;
  virtual void BeforeCall(const CallSite& site, TW_MEMREF data) = 0;
  virtual void AfterCall(const CallSite& site, TW_MEMREF data, TW_UINT16 rc) = 0;
  // A container block the library has just locked, and its size: an
  // observer that reads the Source's answers reads them here rather than
  // locking the block a second time.
  virtual void ContainerRead(TW_HANDLE /*block*/, const void* /*data*/, std::size_t /*size*/) {}
};
// One observer at a time; null for none.
void SetCallObserver(CallObserver* observer);
extern CallObserver* g_callObserver;
// Hands the observer the call (out of line: there is rarely one).
void ObserveCall(std::uint64_t packedSite, TW_MEMREF data, bool returned, TW_UINT16 rc);
inline void ObserveContainerRead(TW_HANDLE block, const void* data, std::size_t size) {
  if (g_callObserver) g_callObserver->ContainerRead(block, data, size);
}

// Sends one triplet through the Manager's entry with the lines around it.
// Inlined: a capability scan sends a thousand triplets, and what the seam
// adds must stay within the noise of the Manager's own call.
[[gnu::always_inline]] inline TW_UINT16 CallThroughSeam(DSMENTRYPROC entry, TW_IDENTITY* origin,
                                                        TW_IDENTITY* destination, TW_UINT32 dg,
                                                        TW_UINT16 dat, TW_UINT16 msg,
                                                        TW_MEMREF data) {
  InFlightCalls& calls = g_callsInFlight;
  const TW_UINT16 cap = dg == DG_CONTROL && dat == DAT_CAPABILITY && data
                            ? static_cast<const TW_CAPABILITY*>(data)->Cap
                            : TW_UINT16{0};
  const std::uint64_t site = PackCallSite(dg, dat, msg, cap, destination != nullptr);
  // Published before the call, so a Source that never returns is named; the
  // outer call's site comes back when a nested one ends. One writer: the
  // window's thread.
  const std::uint64_t outer = calls.what.load(std::memory_order_relaxed);
  const std::uint32_t depth = calls.depth.load(std::memory_order_relaxed);
  if (depth == 0)
    calls.serial.store(calls.serial.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  calls.what.store(site, std::memory_order_relaxed);
  calls.depth.store(depth + 1, std::memory_order_release);
  if (g_callObserver && g_callObserver->watchesBefore) ObserveCall(site, data, false, 0);
  // An outermost call returns to the probe's own control words, kept once;
  // a nested one to whatever the Source around it had set.
  const platform::FloatControl floatControl =
      depth == 0 ? g_probeFloatControl : platform::SaveFloatControl();
  const TW_UINT16 rc = entry(origin, destination, dg, dat, msg, data);
  if (platform::FloatControlChanged(floatControl)) platform::RestoreFloatControl(floatControl);
  calls.what.store(outer, std::memory_order_relaxed);
  calls.depth.store(depth, std::memory_order_release);
  if (g_callObserver) ObserveCall(site, data, true, rc);
  return rc;
}

// Back to no call in flight and no observer (shutdown after a fault, tests).
void ResetCallSeam();
