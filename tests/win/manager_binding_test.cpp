// The probe window's Source Manager step against Wine: the search finds
// Wine's Manager and names it; a named file that is missing or is no Manager
// leaves state 1 with the Part's lines and a note that says why.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pages/log.h"
#include "platform/module.h"
#include "probe/probe_window.h"
#include "session/twain_session.h"

namespace {

using Strings = std::vector<std::string>;

class ManagerBindingTest : public testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    TWAIN_Startup();
  }
  void TearDown() override {
    window_.reset();
    TWAIN_SetManagerPath(nullptr);
    TWAIN_Shutdown();
    ResetLog();
  }
  Strings OpenAndReadLog() {
    window_ = std::make_unique<ProbeWindow>();
    EXPECT_TRUE(window_->Open(SW_SHOWNORMAL));
    Strings lines;
    const LogStore& store = window_->log().store();
    for (int i = 0; i < store.count(); ++i) lines.push_back(store.line(i));
    return lines;
  }
  static std::string BesideTests(const char* file) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1) + file;
  }

  std::unique_ptr<ProbeWindow> window_;
};

TEST_F(ManagerBindingTest, SearchFindsWinesManagerAndNamesIt) {
  const Strings lines = OpenAndReadLog();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("Loaded TWAIN Source Manager [", 0), 0u) << lines[0];
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  // Named, with its version when the file carries one (Wine's does not).
  const std::string named = "   Source Manager: " + std::string(system) + "\\TWAIN_32.DLL";
  EXPECT_TRUE(lines[1] == named || lines[1].rfind(named + " (version ", 0) == 0) << lines[1];
  EXPECT_EQ(TWAIN_State(), 4);
  // A system file with a version resource gives its four numbers.
  const std::string version =
      platform::FileVersion((std::string(system) + "\\kernel32.dll").c_str());
  EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 3) << version;
  EXPECT_TRUE(platform::FileVersion(BesideTests("fault_dll.dll").c_str()).empty());
}

TEST_F(ManagerBindingTest, NamedFileThatIsMissingOrNoManagerStaysInStateOne) {
  struct Case {
    std::string path;
    std::string reason;  // the start of the text in brackets
  };
  const Case cases[] = {
      {"C:\\nowhere\\TWAINDSM.DLL", "no such file)"},
      {BesideTests("fixtures\\colour.bmp"), "error 193"},
      {BesideTests("fault_dll.dll"), "it exports no DSM_Entry)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    TWAIN_SetManagerPath(c.path.c_str());
    const Strings lines = OpenAndReadLog();
    EXPECT_EQ(TWAIN_State(), 1);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Loading TWAIN Source Manager...");
    EXPECT_EQ(lines[1], ">>> Failed: Is TWAIN Installed?");
    EXPECT_EQ(lines[2].rfind("   Not loaded: " + c.path + " (" + c.reason, 0), 0u) << lines[2];
    window_.reset();
  }
}

}  // namespace
