#include "session/call_seam.h"

#include <gtest/gtest.h>

#include "session/source_guard.h"

namespace {

CallSite g_seenInside;
std::uint32_t g_depthInside = 0;

TW_UINT16 EntryThatLooks(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF) {
  g_depthInside = CallsInFlight().depth.load();
  g_seenInside = UnpackCallSite(CallsInFlight().what.load());
  return TWRC_SUCCESS;
}

// Leaves every floating-point exception unmasked, as a careless Source does.
TW_UINT16 EntryThatUnmasks(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF) {
  platform::RestoreFloatControl({0x0240, 0});
  return TWRC_FAILURE;
}

TW_UINT16 EntryThatFaults(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF) {
  __builtin_trap();
}

struct Recorder : CallObserver {
  std::string seen;
  void BeforeCall(const CallSite& site, TW_MEMREF) override { seen += "> " + CallSiteText(site); }
  void AfterCall(const CallSite&, TW_MEMREF, TW_UINT16 rc) override {
    seen += " <" + std::to_string(rc);
  }
};

TEST(CallSeamTest, TheCallInFlightIsNamedAndGoneAfterward) {
  ResetCallSeam();
  TW_IDENTITY app{}, source{};
  TW_CAPABILITY cap{ICAP_PIXELTYPE, TWON_DONTCARE16, nullptr};
  Recorder recorder;
  SetCallObserver(&recorder);
  const std::uint32_t serial = CallsInFlight().serial.load();
  CallThroughSeam(EntryThatLooks, &app, &source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap);
  EXPECT_EQ(g_depthInside, 1u);
  EXPECT_EQ(CallSiteText(g_seenInside), "MSG_GET(ICAP_PIXELTYPE)");
  EXPECT_TRUE(g_seenInside.toSource);
  EXPECT_EQ(CallsInFlight().depth.load(), 0u);
  EXPECT_EQ(CallsInFlight().serial.load(), serial + 1);
  CallThroughSeam(EntryThatLooks, &app, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr);
  EXPECT_EQ(CallSiteText(g_seenInside), "DG_CONTROL / DAT_PARENT / MSG_OPENDSM");
  EXPECT_FALSE(g_seenInside.toSource);
  EXPECT_EQ(recorder.seen,
            "> MSG_GET(ICAP_PIXELTYPE) <0> DG_CONTROL / DAT_PARENT / MSG_OPENDSM <0");
  ResetCallSeam();
}

TEST(CallSeamTest, FloatControlAndCallRecordSurviveTheSource) {
  ResetCallSeam();
  TW_IDENTITY app{};
  const platform::FloatControl before = platform::SaveFloatControl();
  CallThroughSeam(EntryThatUnmasks, &app, &app, DG_CONTROL, DAT_STATUS, MSG_GET, nullptr);
  const platform::FloatControl after = platform::SaveFloatControl();
  EXPECT_EQ(after.x87, before.x87);
  EXPECT_EQ(after.sse & ~0x3Fu, before.sse & ~0x3Fu);
  // A fault leaves the call unfinished; the guard puts the record back.
  platform::FaultInfo fault;
  EXPECT_FALSE(RunSourceGuarded(
      [&] {
        CallThroughSeam(EntryThatFaults, &app, &app, DG_CONTROL, DAT_STATUS, MSG_GET, nullptr);
      },
      &fault));
  EXPECT_EQ(CallsInFlight().depth.load(), 0u);
}

}  // namespace
