// Runs code that may fault (a Source's code, reached through the Source
// Manager) and comes back to the caller when it does. Only an exception that
// nothing below the guard handles is a fault: a Source that probes a pointer
// inside its own handler, or catches its own C++ exception, goes on unseen.
#pragma once

#include <cstdint>
#include <type_traits>

namespace platform {

// Fault codes are the Windows exception codes; the host maps signals onto them.
constexpr std::uint32_t kFaultAccessViolation = 0xC0000005;
constexpr std::uint32_t kFaultIllegalInstruction = 0xC000001D;
constexpr std::uint32_t kFaultIntDivideByZero = 0xC0000094;
constexpr std::uint32_t kFaultIntOverflow = 0xC0000095;
constexpr std::uint32_t kFaultFltOverflow = 0xC0000091;
constexpr std::uint32_t kFaultFltOther = 0xC0000090;
constexpr std::uint32_t kFaultStackOverflow = 0xC00000FD;
constexpr std::uint32_t kFaultPrivilegedInstruction = 0xC0000096;
// What an MSVC-built Source's C++ throw looks like, and ours when one
// escapes the guarded code.
constexpr std::uint32_t kFaultCppException = 0xE06D7363;

struct FaultInfo {
  std::uint32_t code = 0;
  void* address = nullptr;
  std::uint32_t threadId = 0;
  // "module.ds+0x1a2b" for the faulting address, or empty when no module holds it.
  char place[128] = {};
  // The minidump written for the fault, or empty.
  char dumpPath[280] = {};
};

struct GuardOptions {
  // Integer and floating-point overflow faults resume where they were raised.
  bool dismissOverflow = false;
};

using GuardedFunction = void (*)(void* context);

// Runs fn(context). True when it returned normally; false when a fault was
// caught, with its code and address in *fault. Guards may nest. With the
// guard switched off (a debugger attached, or --no-guard) fn runs bare.
bool RunGuarded(GuardedFunction fn, void* context, FaultInfo* fault, GuardOptions options = {});

template <class F>
bool RunGuarded(F&& f, FaultInfo* fault, GuardOptions options = {}) {
  auto call = [](void* p) { (*static_cast<std::remove_reference_t<F>*>(p))(); };
  return RunGuarded(call, static_cast<void*>(&f), fault, options);
}

// Off: faults go to a debugger (or end the process) instead of the guard.
void SetFaultGuardEnabled(bool enabled);
// On unless switched off or a debugger was attached when the program started.
bool FaultGuardEnabled();
// Where a minidump is written for each fault caught; null or empty for none.
void SetFaultDumpDirectory(const char* directory);

// The floating-point control words (x87 and SSE), saved around every call
// into a Source so one that unmasks exceptions cannot fault the probe later.
struct FloatControl {
  std::uint32_t x87 = 0;
  std::uint32_t sse = 0;  // MXCSR; its low six bits are flags, not control
};
// Inline: every triplet reads them twice, and a call into the Source costs
// the probe only a few nanoseconds of its own.
inline FloatControl SaveFloatControl() {
  FloatControl saved;
  std::uint16_t x87 = 0;
  asm volatile("fnstcw %0" : "=m"(x87));
  asm volatile("stmxcsr %0" : "=m"(saved.sse));
  saved.x87 = x87;
  return saved;
}
// Whether the control (not the flags) differs from `saved`.
inline bool FloatControlChanged(const FloatControl& saved) {
  const FloatControl now = SaveFloatControl();
  return now.x87 != saved.x87 || ((now.sse ^ saved.sse) & ~0x3Fu) != 0;
}
// Puts the words back and clears any exception flags left pending.
void RestoreFloatControl(const FloatControl& saved);

// A fault on a thread no guard covers is the operating system's to end;
// before it does, `note` is called with the code and the thread's id.
using UnguardedFaultNote = void (*)(std::uint32_t code, std::uint32_t threadId, const char* place);
void SetUnguardedFaultNote(UnguardedFaultNote note);

}  // namespace platform
