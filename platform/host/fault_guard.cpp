// Host fault guard: processor faults arrive as signals; the handler jumps
// back to the innermost armed guard with the signal mapped to the Windows
// exception code the rest of the program reports. A signal handler cannot
// resume after an overflow fault the way Windows can, so the host reports
// those like any other fault.
#include "platform/fault_guard.h"

#include <setjmp.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {
namespace {

struct GuardFrame {
  sigjmp_buf jump;
  FaultInfo fault;
  GuardOptions options;
};

constexpr int kMaxDepth = 16;
GuardFrame* g_frames[kMaxDepth];
volatile sig_atomic_t g_depth = 0;
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
struct sigaction g_previous[sizeof(kSignals) / sizeof(kSignals[0])];
bool g_installed = false;
bool g_enabled = true;
UnguardedFaultNote g_note = nullptr;

std::uint32_t CodeOf(int sig, const siginfo_t* info) {
  switch (sig) {
    case SIGFPE:
      if (info->si_code == FPE_INTDIV) return kFaultIntDivideByZero;
      if (info->si_code == FPE_INTOVF) return kFaultIntOverflow;
      if (info->si_code == FPE_FLTOVF) return kFaultFltOverflow;
      return kFaultFltOther;
    case SIGILL:
      return kFaultIllegalInstruction;
    default:
      return kFaultAccessViolation;
  }
}

void OnFault(int sig, siginfo_t* info, void* context) {
  if (g_depth > 0) {
    GuardFrame* frame = g_frames[g_depth - 1];
    frame->fault.code = CodeOf(sig, info);
    frame->fault.address = info->si_addr;
    frame->fault.threadId = static_cast<std::uint32_t>(gettid());
    siglongjmp(frame->jump, 1);
  }
  // Not ours: hand the signal to whoever had it before.
  if (g_note) g_note(CodeOf(sig, info), static_cast<std::uint32_t>(gettid()), "");
  for (std::size_t i = 0; i < sizeof(kSignals) / sizeof(kSignals[0]); ++i) {
    if (kSignals[i] != sig) continue;
    const struct sigaction& old = g_previous[i];
    if (old.sa_flags & SA_SIGINFO) {
      old.sa_sigaction(sig, info, context);
      return;
    }
    if (old.sa_handler != SIG_DFL && old.sa_handler != SIG_IGN) {
      old.sa_handler(sig);
      return;
    }
  }
  signal(sig, SIG_DFL);
  raise(sig);
}

void Install() {
  if (g_installed) return;
  g_installed = true;
  // A stack of its own lets the handler run after a stack overflow.
  static char altStack[64 * 1024];
  stack_t stack{};
  stack.ss_sp = altStack;
  stack.ss_size = sizeof(altStack);
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < sizeof(kSignals) / sizeof(kSignals[0]); ++i) {
    sigaction(kSignals[i], &action, &g_previous[i]);
  }
}

}  // namespace

void SetFaultGuardEnabled(bool enabled) {
  g_enabled = enabled;
}

bool FaultGuardEnabled() {
  return g_enabled;
}

// The host writes no minidumps.
void SetFaultDumpDirectory(const char*) {}

void SetUnguardedFaultNote(UnguardedFaultNote note) {
  g_note = note;
}

bool RunGuarded(GuardedFunction fn, void* context, FaultInfo* fault, GuardOptions options) {
  Install();
  if (g_depth >= kMaxDepth || !g_enabled) {
    fn(context);
    return true;
  }
  GuardFrame frame;
  frame.options = options;
  const FloatControl floatControl = SaveFloatControl();
  const sig_atomic_t depth = g_depth;
  g_frames[depth] = &frame;
  g_depth = depth + 1;
  bool completed = false;
  if (sigsetjmp(frame.jump, 1) == 0) {
    try {
      fn(context);
      completed = true;
    } catch (...) {
      frame.fault.code = kFaultCppException;
    }
  }
  g_depth = depth;
  if (!completed) RestoreFloatControl(floatControl);
  if (!completed && fault) *fault = frame.fault;
  return completed;
}

}  // namespace platform
