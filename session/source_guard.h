// Code that calls into the Source, run under the platform's fault guard.
// After a fault the library's count of calls in progress is put back: the
// faulting call never returned to take itself off it.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/fault_guard.h"
#include "session/twain_session.h"

template <class F>
bool RunSourceGuarded(F&& f, platform::FaultInfo* fault, platform::GuardOptions options = {}) {
  const std::int32_t nesting = TWAIN_Session().callNesting;
  if (platform::RunGuarded(std::forward<F>(f), fault, options)) return true;
  TWAIN_Session().callNesting = nesting;
  return false;
}
