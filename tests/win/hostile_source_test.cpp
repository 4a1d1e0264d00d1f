// The whole program, as a separate process, against the Fault Lab's
// exceptions and hangs: each run must end by itself, with the documented
// exit status, and its log file must name what happened.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>

#include "child_process.h"

namespace {

struct ProbeRun {
  DWORD status = 0xFFFFFFFF;
  std::string log;
};

// vorrel.exe beside the tests, with the Fault Lab's misbehaviours, on a script.
ProbeRun RunProbe(const char* faults, const std::string& script, const char* options = "") {
  const std::string scriptPath = TempPath("vorrel-hostile.txt");
  const std::string logPath = TempPath("vorrel-hostile.log");
  std::ofstream(scriptPath, std::ios::binary) << script;
  std::remove(logPath.c_str());
  std::string command =
      "vorrel.exe --script \"" + scriptPath + "\" --log-file \"" + logPath + "\" " + options;
  ProbeRun run;
  run.status = RunChild(command, 60000, {{"VORREL_FAULT_LAB", faults}});
  run.log = ReadWholeFile(logPath);
  return run;
}

bool Has(const ProbeRun& run, const std::string& pattern) {
  return std::regex_search(run.log, std::regex(pattern));
}

constexpr const char* kOpenFaultLab = "source \"Sample Fault Lab\"\n";

TEST(HostileSourceTest, AHungGetEndsTheScriptedRunWithStatusThreeAndIsNamed) {
  const DWORD start = GetTickCount();
  const std::string trace = TempPath("vorrel-hostile.vtrace");
  const ProbeRun run =
      RunProbe("hang:ICAP_PIXELTYPE:600", std::string("timeout 2\n") + kOpenFaultLab,
               ("--trace \"" + trace + "\"").c_str());
  EXPECT_EQ(run.status, 3u) << run.log;
  EXPECT_LT(GetTickCount() - start, 20000u) << "the run ends soon after its timeout";
  EXPECT_TRUE(Has(run,
                  "   Source hung: no return from MSG_GET\\(ICAP_PIXELTYPE\\) after [23] s\r\n"
                  "   Exit status 3\r\n$"))
      << run.log;
  // The trace a customer would send ends in the call that never returned.
  const std::string text = ReadWholeFile(trace);
  const std::size_t last = text.rfind("\n#");
  ASSERT_NE(last, std::string::npos) << text;
  EXPECT_TRUE(std::regex_search(
      text.substr(last), std::regex("DAT_CAPABILITY / MSG_GET ICAP_PIXELTYPE( \\.\\.\\.)?$")))
      << text.substr(last);
}

TEST(HostileSourceTest, ExceptionsOfEveryKindAreCaughtAndNamed) {
  struct Case {
    const char* faults;
    const char* code;
  } cases[] = {{"raise-exception:0xE0001234", "0xe0001234"},
               {"cxx-throw", "0xe06d7363"},
               {"stack-overflow", "0xc00000fd"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.faults);
    const ProbeRun run = RunProbe(c.faults, kOpenFaultLab);
    EXPECT_EQ(run.status, 1u) << run.log;
    EXPECT_TRUE(Has(run, std::string("\\*\\* Exception ") + c.code + " during EnumCaps \\*\\*"))
        << run.log;
    EXPECT_TRUE(Has(run, std::string("   exception ") + c.code +
                             " at [^ ]+\\+0x[0-9a-f]+ in thread [0-9]+\r\n"))
        << run.log;
  }
}

TEST(HostileSourceTest, HandledFaultsAndDismissedOverflowPassUnnoticed) {
  for (const char* faults : {"handled-fault", "fp-overflow"}) {
    SCOPED_TRACE(faults);
    const ProbeRun run = RunProbe(faults, std::string(kOpenFaultLab) +
                                              "expect state 4\n"
                                              "set ICAP_XRESOLUTION onevalue fix32 150\n"
                                              "expect current ICAP_XRESOLUTION 150\n");
    EXPECT_EQ(run.status, 0u) << run.log;
    EXPECT_FALSE(Has(run, "xception")) << run.log;
  }
}

TEST(HostileSourceTest, ABogusContainerHandleIsReportedWithoutAReset) {
  // The system's lock of the bogus handle handles its own fault: no
  // exception, the report, and the session goes down the ordinary way.
  const ProbeRun run = RunProbe("bogus-container:ICAP_UNITS", kOpenFaultLab);
  EXPECT_TRUE(Has(run, "DataSource bug: bad Container handle\\.\r\n")) << run.log;
  EXPECT_FALSE(Has(run, "xception")) << run.log;
  EXPECT_TRUE(Has(run, "\r\nClosed Sample Fault Lab \\[")) << run.log;
}

TEST(HostileSourceTest, AFaultOnAWorkerThreadIsNamedBeforeTheProcessEnds) {
  const ProbeRun run = RunProbe("thread-fault", kOpenFaultLab);
  EXPECT_NE(run.status, 0u);
  EXPECT_TRUE(Has(run,
                  "   unhandled exception 0xc0000005 at [^ ]+ in thread [0-9]+, which no "
                  "guard covers: the process ends\r\n"))
      << run.log;
}

}  // namespace
