// The conformance pass: a table of checks run against the open Source in
// state 4, each naming the rule it holds the Source to. Every call goes
// through the library's triplet calls, and each group runs under the fault
// guard, so a Source that crashes costs a finding, not the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "twain/twain.h"

enum class Severity { kError, kWarning, kNote };
const char* SeverityName(Severity severity);

// What a finding costs: the score starts at 100 and never goes below 0.
constexpr int kErrorPenalty = 10;
constexpr int kWarningPenalty = 3;
constexpr int kNotePenalty = 0;

struct Finding {
  std::string checkId;
  Severity severity = Severity::kError;
  int cap = -1;      // the capability, or -1
  std::string call;  // the triplet as the log writes it
  std::string expected;
  std::string came;
  bool suppressed = false;
};

struct CheckContext;
struct CheckRow {
  const char* id;
  const char* group;
  Severity severity;
  const char* rule;
  int fromVersion;  // ProtocolMajor * 100 + ProtocolMinor
  void (*run)(CheckContext& context);
};
std::span<const CheckRow> CheckTable();
// The groups in the order they run.
std::span<const char* const> CheckGroups();

// A known finding a Source team accepts: every finding of the check, or
// only those about one capability.
struct Suppression {
  std::string checkId;
  int cap = -1;  // -1: any
};

enum class CheckOutcome { kPassed, kFailed, kNotRun, kNotApplicable };
struct CheckStatus {
  const CheckRow* row = nullptr;
  CheckOutcome outcome = CheckOutcome::kNotRun;
  std::string why;  // not applicable for a reason other than the TWAIN version
};

struct CheckResult {
  std::string source;  // the Source's ProductName
  int version = 0;     // its protocol, as CheckRow::fromVersion
  std::vector<Finding> findings;
  std::vector<CheckStatus> checks;  // one per row, in table order
  std::string stopped;              // why the pass ended early, or empty
  // Capabilities the pass changed and could not put back: "ICAP_UNITS is
  // TWUN_CENTIMETERS, was TWUN_INCHES".
  std::vector<std::string> notRestored;
  int score = 100;
  int errors = 0;  // unsuppressed error-level findings
};

// Told as the pass goes, so a window can show progress and what is written
// to disk survives a Source that hangs the pass.
class CheckObserver {
 public:
  virtual ~CheckObserver() = default;
  virtual void GroupStarted(const char* /*group*/) {}
  // Before result.checks[index] runs: what is written now names it if it
  // never returns.
  virtual void CheckStarting(const CheckResult& /*result*/, std::size_t /*index*/) {}
  // result.checks[index] has its outcome; its findings are in result.findings.
  virtual void CheckDone(const CheckResult& /*result*/, std::size_t /*index*/) {}
};

// What a person may change about the pass.
struct CheckSettings {
  int stressCycles = 20;  // opens and closes, enables and disables
  bool withUi = false;    // the ui group, which shows the Source's dialog
};
CheckSettings& TheCheckSettings();

// groups: the group names to run, empty for all. The Source must be open
// (state 4); otherwise nothing runs and `stopped` says why.
CheckResult RunChecks(const std::vector<std::string>& groups,
                      const std::vector<Suppression>& suppressions,
                      CheckObserver* observer = nullptr);
// 100 less the penalties of the findings not suppressed, at least 0.
int CheckScore(const std::vector<Finding>& findings);
// Marks the findings the suppressions match and recounts score and errors.
void ApplySuppressions(CheckResult& result, const std::vector<Suppression>& suppressions);
// The result as it would stand if the pass ended now: scored, and marked as
// not finished. With `running`, that check is failed as one that did not
// return, for a hang that ends the process before it can say more.
CheckResult UnfinishedResult(const CheckResult& result,
                             const std::vector<Suppression>& suppressions,
                             const std::size_t* running = nullptr);
