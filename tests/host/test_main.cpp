// Every test starts from a freshly loaded process: the platform doubles and
// every process-wide record of the library are reset before it runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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

// ctest runs test processes side by side, and many write files of fixed
// names (a file transfer's default among them): each process gets a
// temporary folder of its own, removed when it ends.
class ProcessTempFolder {
 public:
  ProcessTempFolder() {
    const char* base = std::getenv("TMPDIR");
    path_ = std::filesystem::path(base && *base ? base : "/tmp") /
            ("vorrel_host_tests_" + std::to_string(getpid()));
    std::error_code error;
    std::filesystem::create_directories(path_, error);
    if (!error) setenv("TEST_TMPDIR", path_.c_str(), 1);
  }
  ~ProcessTempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }

 private:
  std::filesystem::path path_;
};

}  // namespace

int main(int argc, char** argv) {
  const ProcessTempFolder tempFolder;
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new ResetProcessRecords);
  return RUN_ALL_TESTS();
}
