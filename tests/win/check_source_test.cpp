// `vorrel.exe --check` as a CI job runs it: a process of its own against the
// installed Sample Source, judged by its exit status and its files.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "child_process.h"

namespace {

struct CheckRun {
  DWORD status = 0xFFFFFFFF;
  std::string report;
  std::string junit;
};

CheckRun RunCheck(const char* source, const char* faults) {
  const std::string reportPath = TempPath("vorrel-check.txt");
  const std::string junitPath = TempPath("vorrel-check.xml");
  std::remove(reportPath.c_str());
  std::remove(junitPath.c_str());
  std::string command = "vorrel.exe --check \"" + std::string(source) + "\" --report \"" +
                        reportPath + "\" --junit \"" + junitPath + "\"";
  CheckRun run;
  run.status = RunChild(command, 120000, {{"VORREL_FAULT_LAB", faults}});
  run.report = ReadWholeFile(reportPath);
  run.junit = ReadWholeFile(junitPath);
  return run;
}

TEST(CheckSourceTest, TheFlatbedPassesTheFaultLabsBrokenCapabilityIsNamedAndNoSourceCannotRun) {
  const struct {
    const char* source;
    const char* faults;
    DWORD status;
    const char* inReport;
    const char* inJUnit;
  } cases[] = {
      {"Sample Flatbed", "", 0, "Score 100 of 100, 0 error(s)\n\nFindings\n  none\n",
       "failures=\"0\" skipped=\"2\""},  // caps.resetall (2.x only), ui.shown (asked only)
      {"Sample Fault Lab", "fail-cap:ICAP_UNITS", 1,
       "error mandatory.get ICAP_UNITS: MSG_GET(ICAP_UNITS)\n"
       "    expected: TWRC_SUCCESS with a container\n"
       "    came:     TWRC_FAILURE, TWCC_BUMMER\n",
       "<testcase classname=\"mandatory\" name=\"mandatory.get\">\n      <failure"},
      {"Sample Fault Lab", "crash-get:ICAP_PIXELTYPE", 1,
       "error mandatory.get ICAP_PIXELTYPE: MSG_GET(ICAP_PIXELTYPE)\n"
       "    expected: the call returns\n"
       "    came:     exception 0xc0000005 at ",
       "failures=\"2\""},  // the groups after the crash still ran
      {"Sample Fault Lab", "container-overcount:ICAP_UNITS", 1,
       "error caps.container ICAP_UNITS: MSG_GET(ICAP_UNITS)\n"
       "    expected: no more items than the block holds\n"
       "    came:     NumItems 1006 in a block of ",
       "name=\"caps.container\">\n      <failure"},
      {"Sample Fault Lab", "hbitmap", 1,
       "error transfer.native: DAT_IMAGENATIVEXFER MSG_GET (TWSX_NATIVE)\n"
       "    expected: a DIB in global memory\n"
       "    came:     an HBITMAP (a GDI bitmap)\n",
       "failures=\"1\""},
      {"Sample Fault Lab", "strip-overlap", 1,
       "error transfer.memory: DAT_IMAGEMEMXFER MSG_GET (TWSX_MEMORY)\n"
       "    expected: YOffset 25, where the last strip ended\n"
       "    came:     strip 2: YOffset 13 (overlaps)\n",
       "name=\"transfer.memory\">\n      <failure"},
      {"Sample Fault Lab", "file-not-image", 1,
       "error transfer.file: DAT_IMAGEFILEXFER MSG_GET (TWSX_FILE)\n"
       "    expected: a TWFF_BMP file\n",
       "name=\"transfer.file\">\n      <failure"},
      {"Sample Fault Lab", "overrun:DAT_IMAGEINFO:4", 1,
       "error records.guard: DG_IMAGE / DAT_IMAGEINFO / MSG_GET\n"
       "    expected: nothing written past the end of TW_IMAGEINFO\n"
       "    came:     4 times, up to 4 byte(s) of the guard after it overwritten\n",
       "name=\"records.guard\">\n      <failure"},
      // The watchdog ends the process (exit 3); the files written before the
      // check began name it as failed.
      {"Sample Fault Lab", "hang:ICAP_PIXELTYPE:600", 3,
       "The pass stopped: the mandatory.get check did not return\n",
       "name=\"mandatory.get\">\n      <failure"},
      {"No Such Scanner", "", 2, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    const CheckRun run = RunCheck(c.source, c.faults);
    EXPECT_EQ(run.status, c.status) << run.report;
    EXPECT_NE(run.report.find(c.inReport), std::string::npos) << run.report;
    EXPECT_NE(run.junit.find(c.inJUnit), std::string::npos) << run.junit;
    if (c.status == 2) {
      EXPECT_TRUE(run.report.empty()) << "nothing was checked";
    }
  }
}

}  // namespace
