// Runs code that may fault (a Source's code, reached through the Source
// Manager) and comes back to the caller when it does.
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
// A C++ exception that reached the guard.
constexpr std::uint32_t kFaultCppException = 0xE06D7363;

struct FaultInfo {
  std::uint32_t code = 0;
  void* address = nullptr;
};

struct GuardOptions {
  // Integer and floating-point overflow faults resume where they were raised.
  bool dismissOverflow = false;
};

using GuardedFunction = void (*)(void* context);

// Runs fn(context). True when it returned normally; false when a fault was
// caught, with its code and address in *fault. Guards may nest.
bool RunGuarded(GuardedFunction fn, void* context, FaultInfo* fault, GuardOptions options = {});

template <class F>
bool RunGuarded(F&& f, FaultInfo* fault, GuardOptions options = {}) {
  auto call = [](void* p) { (*static_cast<std::remove_reference_t<F>*>(p))(); };
  return RunGuarded(call, static_cast<void*>(&f), fault, options);
}

}  // namespace platform
