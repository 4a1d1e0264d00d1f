// What the conformance pass costs beyond the Source's own answers: the
// pass's capability groups against the Sample Flatbed, beside the very
// triplets that pass sent (recorded from it, containers and all) sent again
// in a bare loop straight through the Manager's DSM_Entry. The whole pass,
// transfers and stress included, is timed once as well.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/ratio_line.h"
#include "bench/win/window_bench.h"
#include "checks/conformance.h"
#include "probe/probe_window.h"
#include "probe/trace_control.h"
#include "session/call_seam.h"
#include "trace/trace_reader.h"
#include "trace/trace_recorder.h"

namespace {

constexpr int kRounds = 15;
// The groups whose triplets a loop can send again as they were: no
// transfer, no dialog, no Source opened anew.
const std::vector<std::string> kCapabilityGroups = {"identity",     "status",    "mandatory",
                                                    "capabilities", "xfercount", "records"};

bool Resendable(const TraceCall& call) {
  constexpr TW_UINT16 kDats[] = {DAT_CAPABILITY, DAT_STATUS,      DAT_PENDINGXFERS,
                                 DAT_IMAGEINFO,  DAT_IMAGELAYOUT, DAT_SETUPMEMXFER};
  return call.toSource && call.number != 0 &&
         std::find(std::begin(kDats), std::end(kDats), call.dat) != std::end(kDats);
}

// The pass's triplets, as it sent them.
std::vector<TraceCall> RecordPass(std::size_t& others) {
  StringTraceOutput output;
  TraceRecorder recorder(output, true);
  recorder.Start(TraceMachine{});
  CallObserver* const running = g_callObserver;
  SetCallObserver(&recorder);
  RunChecks(kCapabilityGroups, {});
  SetCallObserver(running);
  const TraceReadResult read = ReadTraceText(output.text);
  std::vector<TraceCall> calls;
  others = 0;
  for (const TraceCall& call : read.trace ? read.trace->calls : calls) {
    if (Resendable(call)) {
      calls.push_back(call);
    } else if (call.toSource) {
      ++others;
    }
  }
  return calls;
}

// The same triplets through the Manager, and nothing of ours between.
void SendBare(const std::vector<TraceCall>& calls) {
  DSMENTRYPROC entry = TWAIN_Session().managerEntry;
  TW_IDENTITY* app = &TWAIN_Session().appIdentity;
  TW_IDENTITY* source = &TWAIN_Session().sourceIdentity;
  alignas(8) unsigned char record[512];
  for (const TraceCall& call : calls) {
    std::memcpy(record, call.in.data(), std::min(call.in.size(), sizeof record));
    HGLOBAL sent = nullptr;
    if (call.dat == DAT_CAPABILITY) {
      auto* capability = reinterpret_cast<TW_CAPABILITY*>(record);
      capability->hContainer = nullptr;
      if (call.containerIn && !call.containerIn->bytes.empty()) {
        sent = GlobalAlloc(GHND, call.containerIn->bytes.size());
        std::memcpy(GlobalLock(sent), call.containerIn->bytes.data(),
                    call.containerIn->bytes.size());
        GlobalUnlock(sent);
        capability->hContainer = sent;
      }
    }
    entry(app, source, call.dg, call.dat, call.msg, record);
    if (call.dat == DAT_CAPABILITY) {
      const TW_HANDLE answer = reinterpret_cast<TW_CAPABILITY*>(record)->hContainer;
      if (answer && answer != sent) GlobalFree(answer);
      if (sent) GlobalFree(sent);
    }
  }
}

}  // namespace

int main() {
  StartBenchProcess();
  // As at the probe's start: the run's trace session observes every call.
  BeginTraceSession();
  auto window = std::make_unique<ProbeWindow>();
  if (!window->Open(SW_SHOWNORMAL) || TWAIN_State() != 4) {
    std::printf("check_bench: the Sample Flatbed did not open (state %d)\n", TWAIN_State());
    return 1;
  }
  std::size_t others = 0;
  const std::vector<TraceCall> calls = RecordPass(others);

  double pass = 1e300, bare = 1e300;
  int score = -1;
  for (int round = 0; round < kRounds; ++round) {
    // Taking turns at going first, so neither always finds the caches cold.
    for (int turn = 0; turn < 2; ++turn) {
      const double t = Now();
      if ((round + turn) % 2 == 0) {
        score = RunChecks(kCapabilityGroups, {}).score;
        pass = std::min(pass, Now() - t);
      } else {
        SendBare(calls);
        bare = std::min(bare, Now() - t);
      }
    }
  }
  const double t = Now();
  const CheckResult whole = RunChecks({}, {});
  const double wholePass = Now() - t;

  std::printf("\nChecking the Sample Flatbed, best of %d rounds\n", kRounds);
  PrintRatioLine("Check Source (capability groups)", pass, "bare DSM_Entry loop", bare);
  std::printf("  triplets sent again by the loop: %zu (others: %zu); score %d\n", calls.size(),
              others, score);
  std::printf("  the whole pass (transfers, stress): %.0f ms, score %d, %zu finding(s)\n",
              wholePass / 1e6, whole.score, whole.findings.size());
  window.reset();
  TWAIN_Shutdown();
  EndTraceSession();
  return 0;
}
