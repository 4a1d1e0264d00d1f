// Scripts run through the real window, in-process, against Wine's Source
// Manager and the installed Sample Source, as `vorrel.exe --script` runs them.
#include "probe/script_driver.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "caps/logged_operations.h"
#include "pages/log.h"
#include "probe_window_fixture.h"
#include "session/twain_session.h"

namespace {

std::string TempPath(const char* name) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + name;
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class ScriptDriverTest : public ProbeWindowTest {
 protected:
  void TearDown() override {
    SetEnvironmentVariableA("VORREL_FAULT_LAB", nullptr);
    ProbeWindowTest::TearDown();
    std::remove(script_.c_str());
    std::remove(log_.c_str());
  }

  // Runs the script text as the program does; the log file's text is kept.
  int Run(const std::string& text) {
    std::ofstream(script_, std::ios::binary) << text;
    window_ = std::make_unique<ProbeWindow>();
    const int status = RunScriptedProbe(*window_, script_.c_str(), log_.c_str(), SW_SHOWNORMAL);
    logText_ = ReadAll(log_);
    return status;
  }
  bool Logged(const std::string& line) const {
    return logText_.find(line + "\r\n") != std::string::npos;
  }

  std::string script_ = TempPath("vorrel-script-test.txt");
  std::string log_ = TempPath("vorrel-script-test.log");
  std::string logText_;
};

TEST_F(ScriptDriverTest, PassingScriptExitsZeroAndUnbindsOnTheWayOut) {
  EXPECT_EQ(Run("ui off\n"
                "mech memory\n"
                "set ICAP_PIXELTYPE onevalue uint16 TWPT_GRAY\n"
                "expect current ICAP_PIXELTYPE TWPT_GRAY\n"
                "set ICAP_XRESOLUTION onevalue fix32 150\n"
                "expect current ICAP_XRESOLUTION 150\n"
                "set ICAP_FRAMES onevalue frame \"0, 0, 4, 5\"\n"
                "expect current ICAP_FRAMES 0,0,4,5\n"
                "state 6\n"
                "expect state 6\n"),
            kScriptPassed)
      << logText_;
  EXPECT_TRUE(Logged("   [1] ui off"));
  EXPECT_TRUE(Logged("MSG_SET(ICAP_XFERMECH) -> TWRC_SUCCESS"));
  EXPECT_TRUE(Logged("received MSG_XFERREADY")) << "the device U/I was off, so the Source said so";
  EXPECT_NE(logText_.find("   Script passed: 10 steps ["), std::string::npos) << logText_;
  EXPECT_EQ(CurrentXferMech(), TWSX_MEMORY);
  EXPECT_TRUE(window_->ended());
  EXPECT_EQ(TWAIN_State(), 1) << "the Source Manager is unbound on the way out";
  // Lower, as clicked, takes the enabled Source down first.
  const std::size_t passed = logText_.find("   Script passed");
  EXPECT_LT(passed, logText_.find("Aborted Pending Xfers ["));
  EXPECT_LT(passed, logText_.find("Unloaded TWAIN Source Manager ["));
}

TEST_F(ScriptDriverTest, CapabilityReportIsSavedByTheCapabilitiesPage) {
  const std::string report = TempPath("vorrel-script-report.txt");
  std::remove(report.c_str());
  EXPECT_EQ(Run("save report \"" + report + "\"\n"), kScriptPassed) << logText_;
  const std::string text = ReadAll(report);
  std::remove(report.c_str());
  EXPECT_NE(text.find("Sample Flatbed"), std::string::npos) << text;
  EXPECT_NE(text.find("ICAP_PIXELTYPE"), std::string::npos) << text;
  EXPECT_TRUE(Logged("   report saved to " + report));
  // A folder that does not exist fails the step.
  EXPECT_EQ(Run("save report \"C:\\no\\such\\folder\\r.txt\"\n"), kScriptFailed);
  EXPECT_NE(logText_.find("failed: the report could not be saved to C:\\no\\such"),
            std::string::npos)
      << logText_;
}

TEST_F(ScriptDriverTest, WrongExpectationExitsOneAndLogsTheLine) {
  EXPECT_EQ(Run("expect current ICAP_PIXELTYPE TWPT_BW\n"
                "state 1\n"),
            kScriptFailed)
      << logText_;
  EXPECT_TRUE(
      Logged("   [1] failed: expected ICAP_PIXELTYPE current TWPT_BW, the Source has TWPT_RGB"))
      << logText_;
  EXPECT_TRUE(Logged("   Script failed at line 1: expect current ICAP_PIXELTYPE TWPT_BW"));
  EXPECT_FALSE(Logged("   [2] state 1"));
  EXPECT_EQ(TWAIN_State(), 1);
}

TEST_F(ScriptDriverTest, BadScriptExitsTwoBeforeAnyTriplet) {
  EXPECT_EQ(Run("state 4\n"
                "get ICAP_NOTHING\n"
                "state 6\n"
                "set ICAP_UNITS onevalue uint16 TWUN_PIXELS\n"),
            kScriptBad);
  EXPECT_EQ(window_->hwnd(), nullptr) << "the window never opened";
  EXPECT_EQ(TWAIN_Session().managerLibrary, nullptr) << "the Source Manager was never loaded";
  EXPECT_NE(logText_.find(":2: 'ICAP_NOTHING' is not a capability"), std::string::npos) << logText_;
  EXPECT_NE(logText_.find(":4: 'set' does not run in state 6"), std::string::npos) << logText_;
  EXPECT_TRUE(Logged("   Exit status 2"));

  EXPECT_EQ(Run(""), kScriptBad);
  EXPECT_TRUE(Logged(std::string("   ") + script_ + ": the script has no steps")) << logText_;
}

TEST_F(ScriptDriverTest, TransfersByEachMechanismAreMeasuredAndSavedByTheImagesPage) {
  const std::string png = TempPath("vorrel-script-image.png");
  const std::string bmp = TempPath("vorrel-script-image.bmp");
  std::remove(png.c_str());
  std::remove(bmp.c_str());
  EXPECT_EQ(Run("ui off\n"
                "set ICAP_XRESOLUTION onevalue fix32 50\n"
                "set ICAP_YRESOLUTION onevalue fix32 50\n"
                "mech native\n"
                "state 6\n"
                "transfer\n"
                "expect width 425\n"
                "expect height 550\n"
                "expect depth 24\n"
                "save image \"" +
                png +
                "\"\n"
                "state 4\n"
                "mech file\n"
                "state 7\n"
                "expect width 425\n"
                "state 4\n"
                "mech memory\n"
                "state 7\n"
                "expect height 550\n"
                "save image \"" +
                bmp +
                "\"\n"
                "expect depth 16\n"),
            kScriptFailed)
      << logText_;
  EXPECT_TRUE(Logged("DIB received")) << logText_;
  EXPECT_NE(logText_.find("File Xfer Done"), std::string::npos) << logText_;
  EXPECT_TRUE(Logged("Memory transfer completed successfully.")) << logText_;
  EXPECT_TRUE(Logged("   [20] failed: expected depth 16, the image has 24")) << logText_;
  EXPECT_EQ(ReadAll(png).substr(0, 4), "\x89PNG");
  EXPECT_EQ(ReadAll(bmp).substr(0, 2), "BM");
  std::remove(png.c_str());
  std::remove(bmp.c_str());
}

TEST_F(ScriptDriverTest, LayoutAndImageInfoGoThroughTheirPagesButtons) {
  EXPECT_EQ(Run("ui off\n"
                "layout reset\n"
                "layout getdefault\n"
                "layout set 1 1.5 4 5\n"
                "expect result TWRC_SUCCESS\n"
                "expect current ICAP_FRAMES 1,1.5,4,5\n"
                "layout get\n"
                "state 6\n"
                "imageinfo\n"
                "expect result TWRC_SUCCESS\n"
                "transfer\n"
                "expect width 300\n"
                "expect height 350\n"),
            kScriptPassed)
      << logText_;
  for (const char* line : {"(DG_IMAGE,DAT_IMAGELAYOUT,MSG_SET) -> TWRC_SUCCESS",
                           "(DG_IMAGE,DAT_IMAGELAYOUT,MSG_GET) -> TWRC_SUCCESS",
                           "(DG_IMAGE,DAT_IMAGELAYOUT,MSG_RESET) -> TWRC_SUCCESS",
                           "(DG_IMAGE,DAT_IMAGELAYOUT,MSG_GETDEFAULT) -> TWRC_SUCCESS",
                           "(DG_IMAGE,DAT_IMAGEINFO,MSG_GET) -> TWRC_SUCCESS"}) {
    EXPECT_TRUE(Logged(line)) << line << "\n" << logText_;
  }
}

TEST_F(ScriptDriverTest, FaultLabCrashInsideAScriptEndsItWithOneAndTheProbeExitsCleanly) {
  // Met by Higher: the ladder's guard catches it and its box becomes a note.
  SetEnvironmentVariableA("VORREL_FAULT_LAB", "crash-enable");
  EXPECT_EQ(Run("source \"Sample Fault Lab\"\n"
                "get ICAP_UNITS\n"
                "state 5\n"
                "state 1\n"),
            kScriptFailed)
      << logText_;
  EXPECT_NE(logText_.find("Closed Sample Flatbed ["), std::string::npos);
  EXPECT_TRUE(Logged("MSG_GET(ICAP_UNITS) -> TWRC_SUCCESS"));
  EXPECT_TRUE(Logged("Exception during state change!")) << logText_;
  EXPECT_TRUE(Logged("   [3] failed: the probe reported an error in a message box")) << logText_;
  EXPECT_FALSE(Logged("   [4] state 1"));
  EXPECT_TRUE(Logged("   Exit status 1"));
  // The way out still closes the Source and unbinds the Manager.
  EXPECT_NE(logText_.find("Closed Sample Fault Lab ["), std::string::npos) << logText_;
  EXPECT_TRUE(window_->ended());
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_EQ(TWAIN_Session().callNesting, 0);

  // Met by the Capabilities page while the script opens the Source: its box
  // becomes a note and the script ends there.
  SetEnvironmentVariableA("VORREL_FAULT_LAB", "crash-get:ICAP_PIXELTYPE");
  EXPECT_EQ(Run("source \"Sample Fault Lab\"\nstate 1\n"), kScriptFailed) << logText_;
  EXPECT_NE(logText_.find("   message box \"Vorrel\": An exception (a fatal execution error) "
                          "occurred during capability enumeration"),
            std::string::npos)
      << logText_;
  EXPECT_TRUE(Logged("   [1] failed: the probe reported an error in a message box"));
  EXPECT_TRUE(window_->ended());
  EXPECT_EQ(TWAIN_State(), 1);
}

TEST_F(ScriptDriverTest, RefusedEnableIsAFailureUnlessTheScriptExpectsIt) {
  SetEnvironmentVariableA("VORREL_FAULT_LAB", "refuse-enable:TWCC_OPERATIONERROR");
  EXPECT_EQ(Run("source \"Sample Fault Lab\"\n"
                "state 5\n"
                "expect result TWRC_FAILURE TWCC_OPERATIONERROR\n"
                "expect state 4\n"),
            kScriptPassed)
      << logText_;
  EXPECT_EQ(Run("source \"Sample Fault Lab\"\nstate 5\n"), kScriptFailed) << logText_;
  EXPECT_TRUE(Logged("   [2] failed: 'Higher' in state 4 left the session in state 4")) << logText_;
}

// `check` goes down from state 6 and runs the pass; the Fault Lab's refused
// capability costs a finding the expectation after it does not allow.
TEST_F(ScriptDriverTest, CheckScoresTheFlatbedAndAFaultLabFindingFailsItsExpectation) {
  EXPECT_EQ(Run("ui off\n"
                "state 6\n"
                "check\n"
                "expect state 4\n"
                "expect score >= 100\n"
                "expect findings 0\n"),
            kScriptPassed)
      << logText_;
  EXPECT_NE(logText_.find("[3] check\r\nAborted Pending Xfers ["), std::string::npos) << logText_;
  EXPECT_TRUE(Logged("   0 finding(s)")) << logText_;

  SetEnvironmentVariableA("VORREL_FAULT_LAB", "fail-cap:ICAP_UNITS");
  EXPECT_EQ(Run("source \"Sample Fault Lab\"\n"
                "check mandatory\n"
                "expect score >= 90\n"
                "expect findings 0\n"),
            kScriptFailed)
      << logText_;
  EXPECT_TRUE(
      Logged("   [4] failed: expected 0 finding(s), the last check found 1 "
             "(mandatory.get ICAP_UNITS)"))
      << logText_;
  EXPECT_TRUE(Logged("   Exit status 1"));
  EXPECT_EQ(TWAIN_State(), 1);
}

}  // namespace
