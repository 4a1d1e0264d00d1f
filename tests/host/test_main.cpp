// Every test starts from a freshly loaded process: the platform doubles and
// every process-wide record of the library are reset before it runs.
#include <gtest/gtest.h>

#include "caps/logged_operations.h"
#include "caps/set_rules.h"
#include "imaging/dib_registry.h"
#include "pages/capability_enumeration.h"
#include "pages/log.h"
#include "platform/host/host_platform.h"
#include "session/twain_session.h"

namespace {

class ResetProcessRecords : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    TWAIN_ResetSession();
    ResetLoggedOperations();
    ResetLog();
    ResetItemTypeRegistry();
    ResetEnumerationProgress();
    DibRegistry_Reset();
    platform::host::ResetPlatform();
  }
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new ResetProcessRecords);
  return RUN_ALL_TESTS();
}
