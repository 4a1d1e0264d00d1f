// The watchdog's judgement of a Source that does not return. A call counts
// as hung only while the window's thread also stops answering messages: a
// Source showing its own dialog or a progress window pumps them. The
// watchdog thread feeds this what it sees; what to do comes back.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "session/call_seam.h"

// Process-wide, read by the watchdog thread.
struct HangSettings {
  std::atomic<std::uint32_t> hangSeconds{5};  // --hang-seconds
  std::atomic<bool> scripted{false};
  std::atomic<std::uint32_t> scriptLimitSeconds{30};  // the script's current timeout
};
HangSettings& TheHangSettings();
void ResetHangSettings();

enum class HangAction {
  kNone,
  kAsk,      // show the window and write the log line
  kDismiss,  // the call returned or the window's thread answers again: close the window
  kEndRun,   // a scripted run: write the line and end with exit status 3
};

class HangWatch {
 public:
  // The call must be this old before the window's thread is asked at all.
  static constexpr std::uint32_t kAskAfterMs = 1000;

  // Whether the watchdog should ask the window's thread now.
  bool WantsAnswer(std::uint32_t now, const InFlightCalls& calls) const;
  // One look: `answered` is whether the window's thread answered, when it
  // was asked (WantsAnswer), else ignored.
  HangAction Look(std::uint32_t now, const InFlightCalls& calls, bool answered);
  // "Wait" pressed: ask again after the same interval.
  void Wait();

  // The call's site and how long it has gone unanswered, for the texts.
  CallSite site() const { return site_; }
  std::uint32_t hungSeconds() const { return hungMs_ / 1000; }

 private:
  std::uint32_t serial_ = 0;
  bool inCall_ = false;
  std::uint32_t firstSeen_ = 0;
  std::uint32_t lastAnswer_ = 0;
  std::uint32_t hungMs_ = 0;
  std::uint32_t askAtMs_ = 0;
  bool asking_ = false;
  CallSite site_;
};

// "The Source has not returned from MSG_GET(ICAP_PIXELTYPE) for 5 s."
std::string HangPrompt(const CallSite& site, std::uint32_t seconds);
// The log note's text, behind the note prefix.
std::string HangNote(const CallSite& site, std::uint32_t seconds);
constexpr int kExitStatusHung = 3;
