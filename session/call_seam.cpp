#include "session/call_seam.h"

#include "platform/fault_guard.h"
#include "platform/tick_count.h"
#include "vocab/triplet_text.h"
#include "vocab/twain_names.h"

namespace {

InFlightCalls g_inFlight;
CallObserver* g_observer = nullptr;

}  // namespace

InFlightCalls& CallsInFlight() {
  return g_inFlight;
}

std::uint64_t PackCallSite(const CallSite& site) {
  return std::uint64_t{site.dg & 0x7FFF} << 48 | std::uint64_t{site.toSource} << 63 |
         std::uint64_t{site.dat} << 32 | std::uint64_t{site.msg} << 16 | site.cap;
}

CallSite UnpackCallSite(std::uint64_t packed) {
  CallSite site;
  site.dg = static_cast<TW_UINT32>(packed >> 48 & 0x7FFF);
  site.toSource = (packed >> 63) != 0;
  site.dat = static_cast<TW_UINT16>(packed >> 32);
  site.msg = static_cast<TW_UINT16>(packed >> 16);
  site.cap = static_cast<TW_UINT16>(packed);
  return site;
}

std::string CallSiteText(const CallSite& site) {
  if (site.dg == DG_CONTROL && site.dat == DAT_CAPABILITY)
    return MessageName(site.msg) + "(" + CapName(site.cap) + ")";
  return TripletText(site.dg, site.dat, site.msg);
}

void SetCallObserver(CallObserver* observer) {
  g_observer = observer;
}

TW_UINT16 CallThroughSeam(DSMENTRYPROC entry, TW_IDENTITY* origin, TW_IDENTITY* destination,
                          TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  CallSite site;
  site.dg = dg;
  site.dat = dat;
  site.msg = msg;
  site.toSource = destination != nullptr;
  if (dg == DG_CONTROL && dat == DAT_CAPABILITY && data)
    site.cap = static_cast<const TW_CAPABILITY*>(data)->Cap;
  // Published before the call, so a Source that never returns is named; the
  // outer call's site comes back when a nested one ends.
  const std::uint64_t outer = g_inFlight.what.load(std::memory_order_relaxed);
  const std::uint32_t depth = g_inFlight.depth.load(std::memory_order_relaxed);
  if (depth == 0) {
    g_inFlight.startTick.store(platform::TickCount(), std::memory_order_relaxed);
    g_inFlight.serial.fetch_add(1, std::memory_order_relaxed);
  }
  g_inFlight.what.store(PackCallSite(site), std::memory_order_relaxed);
  g_inFlight.depth.store(depth + 1, std::memory_order_release);
  if (g_observer) g_observer->BeforeCall(site, data);
  const platform::FloatControl floatControl = platform::SaveFloatControl();
  const TW_UINT16 rc = entry(origin, destination, dg, dat, msg, data);
  platform::RestoreFloatControl(floatControl);
  g_inFlight.what.store(outer, std::memory_order_relaxed);
  g_inFlight.depth.store(depth, std::memory_order_release);
  if (g_observer) g_observer->AfterCall(site, data, rc);
  return rc;
}

void ResetCallSeam() {
  g_inFlight.depth.store(0);
  g_inFlight.what.store(0);
  g_observer = nullptr;
}
