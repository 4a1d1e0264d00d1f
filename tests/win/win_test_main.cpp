// Windows tests run unattended under Wine: every message box is captured
// instead of shown, and the session is reset before each test.
#include <gtest/gtest.h>

#include "platform/debug_output.h"
#include "platform/message_box.h"
#include "session/twain_session.h"

namespace {

class ResetProcessRecords : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    TWAIN_ResetSession();
    platform::TakeCapturedMessageBoxes();
    platform::TakeCapturedDebugOutput();
  }
  void OnTestEnd(const testing::TestInfo&) override { TWAIN_ResetSession(); }
};

}  // namespace

int main(int argc, char** argv) {
  platform::CaptureMessageBoxes(true);
  platform::CaptureDebugOutput(true);
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new ResetProcessRecords);
  return RUN_ALL_TESTS();
}
