#include "pages/hang_watch.h"

#include <algorithm>

#include "vocab/number_text.h"

namespace {
HangSettings g_hangSettings;
}  // namespace

HangSettings& TheHangSettings() {
  return g_hangSettings;
}

void ResetHangSettings() {
  g_hangSettings.hangSeconds = 5;
  g_hangSettings.scripted = false;
  g_hangSettings.scriptLimitSeconds = 30;
}

bool HangWatch::WantsAnswer(std::uint32_t now, const InFlightCalls& calls) const {
  return inCall_ && calls.depth.load(std::memory_order_acquire) > 0 &&
         calls.serial.load(std::memory_order_relaxed) == serial_ && now - firstSeen_ >= kAskAfterMs;
}

HangAction HangWatch::Look(std::uint32_t now, const InFlightCalls& calls, bool answered) {
  const bool inCall = calls.depth.load(std::memory_order_acquire) > 0;
  const std::uint32_t serial = calls.serial.load(std::memory_order_relaxed);
  if (!inCall || !inCall_ || serial != serial_) {
    // Another call, or none: whatever was asked about has returned. A call
    // is timed from when it is first seen, within one look of its start.
    const bool wasAsking = asking_;
    inCall_ = inCall;
    serial_ = serial;
    firstSeen_ = now;
    lastAnswer_ = now;
    hungMs_ = 0;
    askAtMs_ = g_hangSettings.hangSeconds.load() * 1000u;
    asking_ = false;
    if (wasAsking) return HangAction::kDismiss;
    if (!inCall) return HangAction::kNone;
  }
  site_ = UnpackCallSite(calls.what.load(std::memory_order_relaxed));
  if (WantsAnswer(now, calls) && answered) {
    lastAnswer_ = now;
    hungMs_ = 0;
    askAtMs_ = g_hangSettings.hangSeconds.load() * 1000u;
    if (asking_) {
      asking_ = false;
      return HangAction::kDismiss;
    }
    return HangAction::kNone;
  }
  hungMs_ = now - lastAnswer_;
  if (g_hangSettings.scripted.load()) {
    const std::uint32_t limit = std::max(g_hangSettings.scriptLimitSeconds.load(), 1u) * 1000u;
    return hungMs_ >= limit ? HangAction::kEndRun : HangAction::kNone;
  }
  if (!asking_ && hungMs_ >= askAtMs_) {
    asking_ = true;
    return HangAction::kAsk;
  }
  return HangAction::kNone;
}

void HangWatch::Wait() {
  asking_ = false;
  askAtMs_ = hungMs_ + g_hangSettings.hangSeconds.load() * 1000u;
}

std::string HangPrompt(const CallSite& site, std::uint32_t seconds) {
  return FormatText("The Source has not returned from %s for %u s.", CallSiteText(site).c_str(),
                    seconds);
}

std::string HangNote(const CallSite& site, std::uint32_t seconds) {
  return FormatText("Source hung: no return from %s after %u s", CallSiteText(site).c_str(),
                    seconds);
}
