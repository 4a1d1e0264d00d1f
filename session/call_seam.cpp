#include "session/call_seam.h"

#include "vocab/triplet_text.h"
#include "vocab/twain_names.h"

InFlightCalls g_callsInFlight;
const platform::FloatControl g_probeFloatControl = platform::SaveFloatControl();
CallObserver* g_callObserver = nullptr;

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
  g_callObserver = observer;
}

void ObserveCall(std::uint64_t packedSite, TW_MEMREF data, bool returned, TW_UINT16 rc) {
  if (!g_callObserver) return;
  const CallSite site = UnpackCallSite(packedSite);
  if (returned) {
    g_callObserver->AfterCall(site, data, rc);
  } else {
    g_callObserver->BeforeCall(site, data);
  }
}

void ResetCallSeam() {
  g_callsInFlight.depth.store(0);
  g_callsInFlight.what.store(0);
  g_callObserver = nullptr;
}
