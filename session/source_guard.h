// Code that calls into the Source, run under the platform's fault guard.
// After a fault the library's count of calls in progress, and the seam's
// record of the call in flight, are put back: the faulting call never
// returned to take itself off them.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/fault_guard.h"
#include "session/call_seam.h"
#include "session/twain_session.h"

template <class F>
bool RunSourceGuarded(F&& f, platform::FaultInfo* fault, platform::GuardOptions options = {}) {
  const std::int32_t nesting = TWAIN_Session().callNesting;
  InFlightCalls& calls = CallsInFlight();
  const std::uint32_t depth = calls.depth.load();
  const std::uint64_t what = calls.what.load();
  if (platform::RunGuarded(std::forward<F>(f), fault, options)) return true;
  TWAIN_Session().callNesting = nesting;
  calls.what.store(what);
  calls.depth.store(depth);
  return false;
}
