#include "probe/check_driver.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "checks/check_report.h"
#include "pages/hang_watch.h"
#include "pages/log.h"
#include "platform/message_box.h"
#include "session/twain_session.h"

namespace {

bool ReadWhole(const char* path, std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream whole;
  whole << file.rdbuf();
  text = whole.str();
  return true;
}

bool WriteWhole(const char* path, const std::string& text) {
  if (!path) return true;
  std::ofstream file(path, std::ios::binary);
  file << text;
  return static_cast<bool>(file.flush());
}

// The groups of "--only a,b"; false after naming each unknown one.
bool ReadGroups(const char* only, std::vector<std::string>& groups) {
  if (!only) return true;
  std::istringstream list(only);
  bool good = true;
  for (std::string group; std::getline(list, group, ',');) {
    if (group.empty()) continue;
    bool known = false;
    for (const char* name : CheckGroups()) known |= group == name;
    if (!known) {
      std::fprintf(stderr, "vorrel: no check group '%s'\n", group.c_str());
      good = false;
    }
    groups.push_back(group);
  }
  return good;
}

bool ReadSuppressionFile(const char* path, std::vector<Suppression>& suppressions) {
  if (!path) return true;
  std::string text;
  if (!ReadWhole(path, text)) {
    std::fprintf(stderr, "vorrel: cannot read %s\n", path);
    return false;
  }
  SuppressionFile file = ReadSuppressions(text);
  for (const std::string& error : file.errors)
    std::fprintf(stderr, "%s: %s\n", path, error.c_str());
  suppressions = std::move(file.suppressions);
  return file.errors.empty();
}

// Writes the report and the JUnit XML as the pass goes: after each check,
// and before each one as if it had hung, so a Source that never returns
// (the watchdog then ends the process) leaves files that name the check.
class ReportWriter : public CheckObserver {
 public:
  ReportWriter(const CheckOptions& options, const std::vector<Suppression>& suppressions)
      : options_(options), suppressions_(suppressions) {}

  void CheckStarting(const CheckResult& result, std::size_t index) override {
    Write(UnfinishedResult(result, suppressions_, &index));
  }
  void CheckDone(const CheckResult& result, std::size_t) override {
    Write(UnfinishedResult(result, suppressions_));
  }
  // False once any write failed.
  bool Write(const CheckResult& result) {
    if (!WriteWhole(options_.reportPath, CheckReportText(result)) ||
        !WriteWhole(options_.junitPath, CheckJUnitXml(result))) {
      if (good_) LogNote("Check Source: the report could not be written");
      good_ = false;
    }
    return good_;
  }

 private:
  const CheckOptions& options_;
  const std::vector<Suppression>& suppressions_;
  bool good_ = true;
};

}  // namespace

int RunCheckedProbe(ProbeWindow& window, const CheckOptions& options, int show) {
  std::vector<std::string> groups;
  std::vector<Suppression> suppressions;
  if (!ReadGroups(options.only, groups) || !ReadSuppressionFile(options.suppressPath, suppressions))
    return kCheckCannotRun;
  CheckSettings& settings = TheCheckSettings();
  settings.withUi = options.withUi;
  if (options.stressCycles) {
    char* end = nullptr;
    const long cycles = std::strtol(options.stressCycles, &end, 10);
    if (end == options.stressCycles || *end != '\0' || cycles < 2 || cycles > 10000) {
      std::fprintf(stderr, "vorrel: --stress-cycles takes a number from 2 to 10000\n");
      return kCheckCannotRun;
    }
    settings.stressCycles = static_cast<int>(cycles);
  }
  // Nobody is there to press OK, and a Source that never returns ends the run.
  platform::CaptureMessageBoxes(true);
  TheHangSettings().scripted = true;
  window.MirrorLogTo(options.logPath);
  window.ladder().PreferSource(options.source);
  window.SkipCapabilityScan();
  int status = kCheckCannotRun;
  if (window.Open(show) && TWAIN_State() == 4) {
    ReportWriter writer(options, suppressions);
    const CheckResult result = RunChecks(groups, suppressions, &writer);
    status = result.errors > 0 || !result.stopped.empty() ? kCheckFailed : kCheckPassed;
    if (!writer.Write(result)) status = kCheckCannotRun;
  } else {
    LogNote("Check Source: \"%s\" could not be opened", options.source);
  }
  LogNote("Exit status %d", status);
  window.WalkDown();
  if (!window.ended()) window.CloseWindow();
  return status;
}
