// A fixture that puts the session where a test needs it, against the fake
// Source Manager, by the same operations the program uses.
#pragma once

#include <gtest/gtest.h>

#include "platform/host/fake_source_manager.h"
#include "platform/host/host_platform.h"
#include "platform/message_box.h"
#include "session/event_routing.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "vocab/triplet_text.h"

// A fault inside the Source, as a crashing driver raises it.
__attribute__((noinline, no_sanitize("undefined"))) inline void Crash() {
  volatile int* nowhere = reinterpret_cast<int*>(8);
  *nowhere = 1;
}

class SessionTest : public testing::Test {
 protected:
  SessionTest() {
    TWAIN_Startup();
    dsm.AddSource("Flatbed");
    dsm.AddSource("Camera");
  }
  ~SessionTest() override { TWAIN_Shutdown(); }

  // Climbs from state 1 to the given state (1 to 7) with ShowUI off; the
  // transcript is cleared so a test sees only its own triplets.
  void GoTo(int state) {
    TWAIN_SetUIHidden(true);
    if (state >= 2) {
      ASSERT_TRUE(TWAIN_BindManager());
    }
    if (state >= 3) {
      ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
    }
    if (state >= 4) {
      ASSERT_TRUE(TWAIN_SourceOpenDefault());
    }
    if (state >= 5) {
      ASSERT_TRUE(TWAIN_SourceEnable(nullptr));
    }
    if (state >= 6) {
      dsm.QueueEvent(MSG_XFERREADY);
      platform::Message message;
      TW_EVENT event{&message, MSG_NULL};
      TWAIN_DS(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    }
    if (state >= 7) {
      dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_XFERDONE).Times(1);
      TW_HANDLE image = nullptr;
      TWAIN_DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image);
    }
    ASSERT_EQ(TWAIN_State(), state) << dsm.Transcript();
    dsm.ClearCalls();
    platform::TakeCapturedMessageBoxes();
  }

  // The library's hard reset; unloading the Manager makes it forget the session.
  void Restart() {
    TWAIN_Shutdown();
    TWAIN_Startup();
    dsm.ClearCalls();
  }

  // Triplets sent since the last ClearCalls, status requests left out.
  std::vector<std::string> Sent() const {
    std::vector<std::string> sent;
    for (const fake::Call& call : dsm.Calls()) {
      if (call.dat != DAT_STATUS) sent.push_back(TripletText(call.dg, call.dat, call.msg));
    }
    return sent;
  }

  fake::SourceManager dsm;
};

// A fault report's line `above` lines over its last, the note naming where
// the fault happened, which is checked on the way.
inline std::string LineAboveFaultPlace(const std::vector<std::string>& lines,
                                       std::size_t above = 1) {
  if (lines.size() <= above) return "";
  EXPECT_EQ(lines.back().rfind("   exception 0xc0000005 at ", 0), 0u) << lines.back();
  return lines[lines.size() - 1 - above];
}
