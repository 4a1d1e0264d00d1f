#include "pages/hang_watch.h"

#include <gtest/gtest.h>

namespace {

// A call in flight, as the seam publishes it.
void Enter(InFlightCalls& calls, std::uint32_t serial) {
  CallSite site;
  site.dg = DG_CONTROL;
  site.dat = DAT_CAPABILITY;
  site.msg = MSG_GET;
  site.cap = ICAP_PIXELTYPE;
  calls.what = PackCallSite(site);
  calls.serial = serial;
  calls.depth = 1;
}

TEST(HangWatchTest, AsksOnlyWhileTheWindowIsSilentAndAgainAfterWait) {
  ResetHangSettings();
  InFlightCalls calls;
  HangWatch watch;
  Enter(calls, 1);
  EXPECT_EQ(watch.Look(1000, calls, false), HangAction::kNone) << "first seen";
  EXPECT_FALSE(watch.WantsAnswer(1500, calls)) << "a short call costs nothing";
  EXPECT_EQ(watch.Look(1500, calls, false), HangAction::kNone);
  // A Source showing its own dialog pumps messages: never hung.
  EXPECT_EQ(watch.Look(9000, calls, true), HangAction::kNone);
  EXPECT_EQ(watch.Look(13000, calls, false), HangAction::kNone);
  EXPECT_EQ(watch.Look(14000, calls, false), HangAction::kAsk);
  EXPECT_EQ(watch.hungSeconds(), 5u);
  EXPECT_EQ(HangPrompt(watch.site(), watch.hungSeconds()),
            "The Source has not returned from MSG_GET(ICAP_PIXELTYPE) for 5 s.");
  EXPECT_EQ(watch.Look(15000, calls, false), HangAction::kNone) << "asked once";
  watch.Wait();
  EXPECT_EQ(watch.Look(19000, calls, false), HangAction::kNone);
  EXPECT_EQ(watch.Look(20000, calls, false), HangAction::kAsk) << "again after the interval";
  // The call returns: the window goes.
  calls.depth = 0;
  EXPECT_EQ(watch.Look(20200, calls, false), HangAction::kDismiss);
  EXPECT_EQ(watch.Look(20400, calls, false), HangAction::kNone);
}

TEST(HangWatchTest, AScriptedRunEndsAtTheScriptsTimeout) {
  ResetHangSettings();
  TheHangSettings().scripted = true;
  TheHangSettings().scriptLimitSeconds = 8;
  InFlightCalls calls;
  HangWatch watch;
  Enter(calls, 7);
  EXPECT_EQ(watch.Look(0, calls, false), HangAction::kNone);
  EXPECT_EQ(watch.Look(7999, calls, false), HangAction::kNone);
  EXPECT_EQ(watch.Look(8000, calls, false), HangAction::kEndRun);
  EXPECT_EQ(HangNote(watch.site(), watch.hungSeconds()),
            "Source hung: no return from MSG_GET(ICAP_PIXELTYPE) after 8 s");
  // A new call starts the count again.
  Enter(calls, 8);
  EXPECT_EQ(watch.Look(8000, calls, false), HangAction::kNone);
  EXPECT_EQ(watch.Look(9000, calls, false), HangAction::kNone);
  ResetHangSettings();
}

}  // namespace
