// What a conformance pass hands a person and a CI system: the suppression
// file it reads, the text report and the JUnit XML it writes.
#pragma once

#include <string>
#include <vector>

#include "checks/conformance.h"

struct SuppressionFile {
  std::vector<Suppression> suppressions;
  std::vector<std::string> errors;  // "line 3: no check 'caps.foo'"
};
// One suppression a line: a check id, optionally followed by a capability's
// name or number; '#' starts a comment.
SuppressionFile ReadSuppressions(const std::string& text);

// Findings first, then the suppressed ones, then what passed and what did not run.
std::string CheckReportText(const CheckResult& result);
// One testcase per check: a failure per check with findings, skipped when not run.
std::string CheckJUnitXml(const CheckResult& result);
