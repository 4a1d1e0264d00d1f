// What enumerating a Source's capabilities costs beyond the Source's own
// answers: EnumCaps in the real window against the Sample Flatbed, beside
// the same triplets (each get and its status request, of the three scans)
// sent in a bare loop straight through the Manager's DSM_Entry. Also the
// time from start-up to state 4 with the list filled, and what recording a
// session trace of the scans adds to them.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "bench/ratio_line.h"
#include "bench/win/window_bench.h"
#include "pages/capability_enumeration.h"
#include "pages/capability_name_index.h"
#include "pages/log.h"
#include "platform/message_box.h"
#include "probe/probe_window.h"
#include "probe/trace_control.h"
#include "session/call_seam.h"
#include "session/twain_session.h"
#include "trace/trace_session.h"
#include "vocab/twain_names.h"

namespace {

constexpr int kWindowRounds = 20;
constexpr int kScanRounds = 40;

// The Manager, its identities, and nothing of ours in between.
struct BareManager {
  DSMENTRYPROC entry = TWAIN_Session().managerEntry;
  TW_IDENTITY* app = &TWAIN_Session().appIdentity;
  TW_IDENTITY* source = &TWAIN_Session().sourceIdentity;

  // A get and its status request; true when the capability exists.
  bool Get(TW_UINT16 cap, std::vector<TW_UINT16>* listed = nullptr) {
    TW_CAPABILITY record{cap, TWON_DONTCARE16, nullptr};
    const TW_UINT16 rc = entry(app, source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &record);
    TW_STATUS status{};
    entry(app, source, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    if (record.hContainer) {
      if (listed && record.ConType == TWON_ARRAY) {
        const auto* bytes = static_cast<const unsigned char*>(GlobalLock(record.hContainer));
        const SIZE_T size = GlobalSize(record.hContainer);
        TW_UINT32 count = 0;
        if (bytes && size >= 6) std::memcpy(&count, bytes + 2, 4);
        for (TW_UINT32 i = 0; bytes && i < count && 6 + 2 * (i + 1) <= size; ++i) {
          TW_UINT16 code;
          std::memcpy(&code, bytes + 6 + 2 * i, 2);
          listed->push_back(code);
        }
        GlobalUnlock(record.hContainer);
      }
      GlobalFree(record.hContainer);
    }
    return rc == TWRC_SUCCESS || (rc == TWRC_FAILURE && status.ConditionCode != TWCC_BADCAP &&
                                  status.ConditionCode != TWCC_CAPUNSUPPORTED);
  }
  // A second get to learn the item type, as the custom and supported scans do.
  void Learn(TW_UINT16 cap) {
    TW_CAPABILITY record{cap, TWON_DONTCARE16, nullptr};
    entry(app, source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &record);
    if (record.hContainer) GlobalFree(record.hContainer);
  }

  // The capabilities found, as a check that the loop asked what EnumCaps asks.
  std::size_t Scans(const std::vector<TW_UINT16>& standardCodes) {
    std::set<TW_UINT16> found;
    for (TW_UINT16 cap : standardCodes) {
      if (Get(cap)) found.insert(cap);
    }
    for (TW_UINT32 cap = CAP_CUSTOMBASE; cap < CAP_CUSTOMBASE + kCustomCodes; ++cap) {
      if (Get(static_cast<TW_UINT16>(cap))) {
        Learn(static_cast<TW_UINT16>(cap));
        found.insert(static_cast<TW_UINT16>(cap));
      }
    }
    std::vector<TW_UINT16> listed;
    Get(CAP_SUPPORTEDCAPS, &listed);
    for (TW_UINT16 cap : listed) {
      if (found.insert(cap).second) Learn(cap);
    }
    return found.size();
  }
};

// The standard codes the scan asks, found before the clock starts: choosing
// them is ours to pay for, so the baseline does not.
std::vector<TW_UINT16> StandardCodes() {
  std::vector<TW_UINT16> codes;
  for (TW_UINT32 cap = 0; cap <= kLastStandardCode; ++cap) {
    const char* name = KnownCapName(static_cast<int>(cap));
    if (name && (name[0] == 'C' || name[0] == 'I')) codes.push_back(static_cast<TW_UINT16>(cap));
  }
  return codes;
}

// The three scans alone, into a list kept in memory.
class MemoryList : public CapabilityListView {
 public:
  void ClearCapabilities() override { entries.Clear(); }
  void EnableCapabilities(bool) override {}
  void AddCapability(std::string_view text, int) override { entries.Add(text); }
  bool HasCapabilityBeginning(std::string_view prefix) override {
    return entries.HasBeginning(prefix);
  }
  void SelectFirstCapability() override {}
  CapabilityNameIndex entries;
};

}  // namespace

int main() {
  StartBenchProcess();
  // As at the probe's start: the run's trace session observes every call.
  BeginTraceSession();
  CallObserver* const running = g_callObserver;

  const double start = Now();
  auto window = std::make_unique<ProbeWindow>();
  if (!window->Open(SW_SHOWNORMAL) || TWAIN_State() != 4) {
    std::printf("enum_caps_bench: the Sample Flatbed did not open (state %d)\n", TWAIN_State());
    return 1;
  }
  const double startup = Now() - start;

  double own = 1e300;

  // The scans and the bare loop take turns at going first, so neither is
  // always the one that finds the caches cold.
  double scans = 1e300, bare = 1e300;
  std::size_t found = 0;
  // One list for every round, as the page keeps its list from run to run.
  MemoryList list;
  const auto timeScans = [&] {
    const double t = Now();
    EnumCaps(list, window->hwnd());
    scans = std::min(scans, Now() - t);
  };
  const std::vector<TW_UINT16> standardCodes = StandardCodes();
  const auto timeBare = [&] {
    const double t = Now();
    found = BareManager().Scans(standardCodes);
    bare = std::min(bare, Now() - t);
  };
  // The same, recorded into a trace file as "--trace" records them.
  double recorded = 1e300, recordedWindow = 1e300;
  char tracePath[MAX_PATH + 32];
  GetTempPathA(MAX_PATH, tracePath);
  std::strcat(tracePath, "vorrel_enum_bench_trace.txt");
  // One recording for every round, as a recording runs through a session.
  auto recording = std::make_unique<TraceSession>();
  recording->Start(std::make_unique<FileTraceOutput>(tracePath), true, TraceMachine{});
  const auto timeRecorded = [&](bool inWindow) {
    const double t = Now();
    SetCallObserver(recording.get());
    if (inWindow) {
      window->EnumerateCapabilities();
    } else {
      EnumCaps(list, window->hwnd());
    }
    SetCallObserver(running);
    double& best = inWindow ? recordedWindow : recorded;
    best = std::min(best, Now() - t);
  };
  const auto timeWindow = [&] {
    const double t = Now();
    window->EnumerateCapabilities();
    own = std::min(own, Now() - t);
  };
  for (int round = 0; round < kWindowRounds; ++round) {
    if (round % 2 == 0) {
      timeWindow();
      timeRecorded(true);
    } else {
      timeRecorded(true);
      timeWindow();
    }
  }
  for (int round = 0; round < kScanRounds; ++round) {
    if (round % 2 == 0) {
      timeScans();
      timeBare();
      timeRecorded(false);
    } else {
      timeRecorded(false);
      timeBare();
      timeScans();
    }
  }
  recording.reset();
  DeleteFileA(tracePath);
  std::printf("\nEnumerating the Sample Flatbed's capabilities, best of %d rounds (window: %d)\n",
              kScanRounds, kWindowRounds);
  PrintRatioLine("EnumCaps (window)", own, "bare DSM_Entry loop", bare);
  PrintRatioLine("EnumCaps (scans only)", scans, "bare DSM_Entry loop", bare);
  std::printf("Recording a session trace of the same (--trace), against not recording\n");
  PrintRatioLine("EnumCaps (window), traced", recordedWindow, "EnumCaps (window)", own);
  PrintRatioLine("EnumCaps (scans), traced", recorded, "EnumCaps (scans only)", scans);
  std::printf(
      "  capabilities found by the bare loop: %zu, listed by EnumCaps: %d\n", found,
      static_cast<int>(SendDlgItemMessageA(window->page(0)->hwnd(), 1001, LB_GETCOUNT, 0, 0)));
  // A fixed part of the difference: a run too short to watch writes two log
  // lines, each a synchronous message to the window, as the log requires.
  double logLine = 1e300;
  for (int round = 0; round < kScanRounds; ++round) {
    const double t = Now();
    LogProgress("TWAIN_Get(CAP_SUPPORTEDCAPS)");
    logLine = std::min(logLine, Now() - t);
  }
  std::printf("  one log line written to the window: %.0f ns (two per run)\n", logLine);
  std::printf("  start-up to state 4 with the list filled: %.0f ms\n", startup / 1e6);
  window.reset();
  TWAIN_Shutdown();
  EndTraceSession();
  return 0;
}
