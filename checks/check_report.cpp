#include "checks/check_report.h"

#include <cstdlib>
#include <sstream>

#include "vocab/twain_names.h"

namespace {

const CheckRow* RowOf(const std::string& id) {
  for (const CheckRow& row : CheckTable()) {
    if (id == row.id) return &row;
  }
  return nullptr;
}

std::string FindingText(const Finding& finding) {
  std::string text = std::string(SeverityName(finding.severity)) + " " + finding.checkId;
  if (finding.cap >= 0) text += " " + CapName(finding.cap);
  text += ": " + finding.call + "\n    expected: " + finding.expected +
          "\n    came:     " + finding.came + "\n";
  return text;
}

std::string Xml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // Control characters are not allowed in XML 1.0.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') {
          out += '?';
        } else {
          out += c;
        }
    }
  }
  return out;
}

}  // namespace

SuppressionFile ReadSuppressions(const std::string& text) {
  SuppressionFile file;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (const auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::string id, cap, extra;
    if (!(words >> id)) continue;
    const std::string where = "line " + std::to_string(number) + ": ";
    if (!RowOf(id)) {
      file.errors.push_back(where + "no check '" + id + "'");
      continue;
    }
    Suppression suppression{id, -1};
    if (words >> cap) {
      if (auto code = CapCode(cap)) {
        suppression.cap = *code;
      } else {
        char* end = nullptr;
        const long number = std::strtol(cap.c_str(), &end, 0);
        if (end == cap.c_str() || *end != '\0' || number < 0 || number > 0xFFFF) {
          file.errors.push_back(where + "no capability '" + cap + "'");
          continue;
        }
        suppression.cap = static_cast<int>(number);
      }
    }
    if (words >> extra) {
      file.errors.push_back(where + "more than a check and a capability");
      continue;
    }
    file.suppressions.push_back(suppression);
  }
  return file;
}

std::string CheckReportText(const CheckResult& result) {
  std::string text = "Check Source: " + result.source + "\n";
  text += "Score " + std::to_string(result.score) + " of 100, " + std::to_string(result.errors) +
          " error(s)\n";
  if (!result.stopped.empty()) text += "The pass stopped: " + result.stopped + "\n";
  for (const std::string& left : result.notRestored)
    text += "Not put back after the pass: " + left + "\n";
  std::string findings, suppressed;
  for (const Finding& finding : result.findings) {
    (finding.suppressed ? suppressed : findings) += FindingText(finding);
  }
  text += "\nFindings\n" + (findings.empty() ? std::string("  none\n") : findings);
  if (!suppressed.empty()) text += "\nSuppressed (not scored)\n" + suppressed;
  std::string passed, notRun;
  for (const CheckStatus& status : result.checks) {
    const std::string line = "  " + std::string(status.row->id) + ": " + status.row->rule + "\n";
    if (status.outcome == CheckOutcome::kPassed) passed += line;
    if (status.outcome == CheckOutcome::kNotRun) notRun += line;
    if (status.outcome == CheckOutcome::kNotApplicable && !status.why.empty())
      notRun += "  " + std::string(status.row->id) + ": " + status.why + "\n";
    else if (status.outcome == CheckOutcome::kNotApplicable)
      notRun += "  " + std::string(status.row->id) + ": from TWAIN " +
                std::to_string(status.row->fromVersion / 100) + "." +
                std::to_string(status.row->fromVersion % 100) + " only\n";
  }
  text += "\nPassed\n" + (passed.empty() ? std::string("  none\n") : passed);
  if (!notRun.empty()) text += "\nNot run\n" + notRun;
  return text;
}

std::string CheckJUnitXml(const CheckResult& result) {
  int failures = 0, skipped = 0;
  std::string cases;
  for (const CheckStatus& status : result.checks) {
    cases += "    <testcase classname=\"" + Xml(status.row->group) + "\" name=\"" +
             Xml(status.row->id) + "\">";
    if (status.outcome == CheckOutcome::kFailed && status.row->severity == Severity::kNote) {
      // A note is what TWAIN allows: told, not failed.
      std::string details;
      for (const Finding& finding : result.findings) {
        if (!finding.suppressed && finding.checkId == status.row->id)
          details += FindingText(finding);
      }
      cases += "\n      <system-out>" + Xml(details) + "</system-out>\n    ";
    } else if (status.outcome == CheckOutcome::kFailed) {
      ++failures;
      std::string details;
      int count = 0;
      for (const Finding& finding : result.findings) {
        if (finding.suppressed || finding.checkId != status.row->id) continue;
        ++count;
        details += FindingText(finding);
      }
      cases += "\n      <failure message=\"" +
               Xml(std::to_string(count) + " finding(s): " + status.row->rule) + "\">" +
               Xml(details) + "</failure>\n    ";
    } else if (status.outcome != CheckOutcome::kPassed) {
      ++skipped;
      cases += "<skipped/>";
    }
    cases += "</testcase>\n";
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n  <testsuite name=\"" +
         Xml("Check Source: " + result.source) + "\" tests=\"" +
         std::to_string(result.checks.size()) + "\" failures=\"" + std::to_string(failures) +
         "\" skipped=\"" + std::to_string(skipped) + "\">\n" + cases + "  </testsuite>\n" +
         "</testsuites>\n";
}
