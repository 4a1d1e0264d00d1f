// The Replay Source end to end: a session recorded by vorrel.exe against the
// Sample Flatbed plays back through vorrel.exe with the same script, and a
// plain TWAIN application of our own gets the same image from the replay as
// from the Flatbed. The replay is reached through the 2.x Manager double,
// which loads the Source file VORREL_DOUBLE_SOURCE names (Wine's Manager
// loads only its own two file names).
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "child_process.h"

namespace {

std::string TestFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string TempFolder(const char* name) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + name + "\\";
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

constexpr char kScript[] =
    "ui off\n"
    "set ICAP_PIXELTYPE onevalue uint16 TWPT_GRAY\n"
    "set ICAP_XRESOLUTION onevalue fix32 50\n"
    "set ICAP_YRESOLUTION onevalue fix32 50\n"
    "save report report.txt\n"
    "mech native\n"
    "state 7\n"
    "save image native.bmp\n"
    "state 4\n"
    "mech file\n"
    "state 7\n"
    "save image file.bmp\n"
    "state 4\n"
    "mech memory\n"
    "state 7\n"
    "save image memory.bmp\n"
    "state 1\n";

// vorrel.exe with the script in `folder`, through the double to `source`.
DWORD RunProbe(const std::string& folder, const std::string& source, const std::string& extra,
               const std::string& replayTrace) {
  std::ofstream(folder + "steps.txt", std::ios::binary) << kScript;
  const std::string tests = TestFolder();
  return RunChild(
      "\"" + tests + "vorrel.exe\" --manager \"" + tests + "twain2_dsm_double.dll\" --script \"" +
          folder + "steps.txt\" --log-file \"" + folder + "log.txt\"" + extra,
      180000, {{"VORREL_DOUBLE_SOURCE", tests + source}, {"VORREL_REPLAY", replayTrace}}, folder);
}

// The report's lines but the identity's Info line, which says "replay".
std::string WithoutInfo(const std::string& report, std::string* info) {
  const std::size_t at = report.find("             Info: ");
  if (at == std::string::npos) return report;
  const std::size_t end = report.find('\n', at);
  *info = report.substr(at, end - at);
  return report.substr(0, at) + report.substr(end);
}

TEST(ReplayRoundTripTest, TheProbesReplayedSessionGivesTheSameReportAndImages) {
  const std::string recorded = TempFolder("vorrel-record");
  const std::string replayed = TempFolder("vorrel-replay");
  const std::string trace = recorded + "session.vtrace";
  for (const char* file : {"report.txt", "native.bmp", "file.bmp", "memory.bmp"}) {
    std::remove((recorded + file).c_str());
    std::remove((replayed + file).c_str());
  }
  ASSERT_EQ(RunProbe(recorded, "vorrel_sample.ds", " --trace \"" + trace + "\"", ""), 0u)
      << ReadWholeFile(recorded + "log.txt");
  ASSERT_EQ(RunProbe(replayed, "vorrel_replay.ds", "", trace), 0u)
      << ReadWholeFile(replayed + "log.txt");

  std::string recordedInfo, replayedInfo;
  const std::string report = ReadWholeFile(recorded + "report.txt");
  ASSERT_NE(report.find("ICAP_PIXELTYPE"), std::string::npos) << report;
  EXPECT_EQ(WithoutInfo(ReadWholeFile(replayed + "report.txt"), &replayedInfo),
            WithoutInfo(report, &recordedInfo));
  EXPECT_NE(replayedInfo.find("\"replay session.vtrace\""), std::string::npos) << replayedInfo;
  for (const char* file : {"native.bmp", "file.bmp", "memory.bmp"}) {
    SCOPED_TRACE(file);
    const std::string image = ReadWholeFile(recorded + file);
    EXPECT_GT(image.size(), 425u * 550u);  // gray at 50 dpi
    EXPECT_TRUE(image == ReadWholeFile(replayed + file));
  }
}

TEST(ReplayRoundTripTest, APlainApplicationGetsTheFlatbedsImageFromTheReplay) {
  const std::string folder = TempFolder("vorrel-plain");
  const std::string trace = folder + "native.vtrace";
  std::ofstream(folder + "steps.txt", std::ios::binary)
      << "ui off\nmech native\nstate 7\nstate 1\n";
  const std::string tests = TestFolder();
  ASSERT_EQ(RunChild("\"" + tests + "vorrel.exe\" --script \"" + folder + "steps.txt\" --trace \"" +
                         trace + "\" --log-file \"" + folder + "log.txt\"",
                     180000, {}, folder),
            0u)
      << ReadWholeFile(folder + "log.txt");
  const std::string client = "\"" + tests + "plain_twain_client.exe\" ";
  std::remove((folder + "flatbed.bmp").c_str());
  std::remove((folder + "replay.bmp").c_str());
  ASSERT_EQ(RunChild(client + "twain_32.dll \"Sample Flatbed\" \"" + folder + "flatbed.bmp\"",
                     180000, {}, folder),
            0u);
  ASSERT_EQ(
      RunChild(client + "\"" + tests + "twain2_dsm_double.dll\" \"Sample Flatbed\" \"" + folder +
                   "replay.bmp\"",
               180000,
               {{"VORREL_DOUBLE_SOURCE", tests + "vorrel_replay.ds"}, {"VORREL_REPLAY", trace}},
               folder),
      0u);
  const std::string flatbed = ReadWholeFile(folder + "flatbed.bmp");
  EXPECT_GT(flatbed.size(), 100000u);
  EXPECT_TRUE(flatbed == ReadWholeFile(folder + "replay.bmp"));
}

}  // namespace
