#include "pages/check_page.h"

#include <algorithm>
#include <cstring>

#include "checks/check_report.h"
#include "pages/log.h"
#include "session/twain_session.h"

namespace {

// Lower from 6 and from 5, and one more in case a Source bounces back.
constexpr int kMaxStepsDown = 3;

bool IsCheckGroup(const std::string& name) {
  const auto known = CheckGroups();
  return std::any_of(known.begin(), known.end(), [&](const char* group) { return name == group; });
}

// The groups that will run, in the order they run.
std::vector<std::string> GroupsToRun(const std::vector<std::string>& groups) {
  std::vector<std::string> running;
  for (const char* group : CheckGroups()) {
    if (groups.empty() || std::find(groups.begin(), groups.end(), group) != groups.end())
      running.emplace_back(group);
  }
  return running;
}

class ProgressLines : public CheckObserver {
 public:
  ProgressLines(int count, const std::function<void()>& painted)
      : count_(count), painted_(painted) {}
  void GroupStarted(const char* group) override {
    LogProgress("%s", CheckProgressText(group, ++index_, count_).c_str());
    if (painted_) painted_();
  }

 private:
  int count_;
  int index_ = 0;
  const std::function<void()>& painted_;
};

}  // namespace

const char* const kCheckGoDownQuestion =
    "Check Source runs with the Source open and disabled (state 4).\n\n"
    "Pending transfers will be reset and the Source disabled first.";

bool CheckAllowedIn(int state) {
  return state >= 4 && state <= 6;
}

bool CheckGoesDownFrom(int state) {
  return state == 5 || state == 6;
}

bool ReadCheckGroups(const std::string& list, std::vector<std::string>& groups, std::string& why) {
  groups.clear();
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    const std::string name = list.substr(start, comma == std::string::npos ? comma : comma - start);
    if (name.empty()) {
      why = "a check group's name is empty";
      return false;
    }
    if (!IsCheckGroup(name)) {
      std::string known;
      for (const char* group : CheckGroups())
        known += (known.empty() ? "" : ", ") + std::string(group);
      why = "'" + name + "' is not a check group (" + known + ")";
      return false;
    }
    if (std::find(groups.begin(), groups.end(), name) == groups.end()) groups.push_back(name);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

std::string CheckProgressText(const char* group, int index, int count) {
  return "Checking the Source: " + std::string(group) + " (" + std::to_string(index) + " of " +
         std::to_string(count) + ")...";
}

CheckResult RunSourceCheck(SessionLadder& ladder, const std::vector<std::string>& groups,
                           const std::function<void()>& painted) {
  for (int taken = 0; TWAIN_State() > 4 && taken < kMaxStepsDown; ++taken) {
    const int state = TWAIN_State();
    ladder.StepDown();
    if (TWAIN_State() == state) break;
  }
  CheckResult result;
  if (TWAIN_State() > 4) {
    result.stopped = "the session did not go down to state 4 (it is in state " +
                     std::to_string(TWAIN_State()) + ")";
    return result;
  }
  ProgressLines progress(static_cast<int>(GroupsToRun(groups).size()), painted);
  if (!ladder.RunWork([&] { result = RunChecks(groups, {}, &progress); }))
    result.stopped = "another step is running";
  return result;
}

std::string CheckPageCaption(const CheckResult& result) {
  return result.source.empty() ? "Check Source" : "Check Source: " + result.source;
}

std::string CheckPageText(const CheckResult& result) {
  const std::string report = CheckReportText(result);
  std::string text;
  text.reserve(report.size() + report.size() / 16);
  for (const char c : report) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}

std::string CheckReportFileName(const CheckResult& result) {
  // The Source names the file: nothing of its name may reach beyond it.
  std::string name;
  for (const char c : result.source) {
    const bool unsafe = static_cast<unsigned char>(c) < 32 || std::strchr("\\/:*?\"<>|", c);
    name += unsafe ? '_' : c;
  }
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  return (name.empty() ? std::string("check") : name + " check") + ".txt";
}
