// What the checks of one pass share: the result they add findings to, the
// call in progress for a fault's finding, and what earlier checks learned.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "caps/container.h"
#include "checks/conformance.h"
#include "checks/transfer_checks.h"
#include "vocab/triplet_text.h"
#include "vocab/twain_names.h"

struct CheckContext {
  explicit CheckContext(CheckResult& into) : result(into) {}
  CheckResult& result;
  const CheckRow* row = nullptr;
  std::string call;  // the last triplet sent, named by the fault finding
  int cap = -1;      // and its capability
  // A capability operation's text is made only when a finding names it:
  // the pass sends hundreds. Set with `call` left empty.
  TW_UINT16 capMessage = 0;
  std::vector<TW_UINT16> listed;
  bool listRead = false;
  // What MSG_QUERYSUPPORT claimed for each capability asked, -1 for no answer.
  std::vector<std::pair<TW_UINT16, int>> claimed;
  // One transfer per listed mechanism, made by the first transfer check.
  std::vector<TransferRun> transfers;
  bool transfersMade = false;
  bool uiControllableRead = false;
  bool needsDialog = false;  // CAP_UICONTROLLABLE FALSE
  // Set by a check that found nothing because it does not apply: why.
  std::string notApplicable;
  // The current values before the capability checks, freed after the pass.
  std::vector<std::pair<TW_UINT16, ContainerHandle*>> snapshot;
  bool snapshotTaken = false;
  // The record overruns kept before the pass began.
  std::size_t overrunsBefore = 0;

  // "MSG_GET(ICAP_UNITS)", or the text last set.
  std::string CallText() const {
    return call.empty() && capMessage ? MessageName(capMessage) + "(" + CapName(cap) + ")" : call;
  }
  void Find(int cap, std::string expected, std::string came) {
    result.findings.push_back(
        {row->id, row->severity, cap, CallText(), std::move(expected), std::move(came)});
  }
};
