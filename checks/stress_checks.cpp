#include "checks/stress_checks.h"

#include <cstring>

#include "caps/capability_calls.h"
#include "caps/logged_operations.h"
#include "checks/check_context.h"
#include "checks/transfer_checks.h"
#include "platform/memory.h"
#include "platform/process_memory.h"
#include "session/event_routing.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "vocab/triplet_text.h"

namespace {

std::string LastResult() {
  return ResultTextOf(TWAIN_GetResultCode(), TWAIN_GetConditionCode());
}

// What the process holds before the cycles (after a first one, which may
// load what stays loaded); Judge compares after them.
struct Held {
  std::int64_t blocks = platform::MemBlocksHeld();
  std::uint64_t privateBytes = platform::PrivateBytes();

  void Judge(CheckContext& context, int cycles) const {
    const std::int64_t blocksGrown = platform::MemBlocksHeld() - blocks;
    const std::uint64_t now = platform::PrivateBytes();
    const std::string after = " after " + std::to_string(cycles) + " more cycles";
    if (blocksGrown > kStressBlockGrowth)
      context.Find(-1,
                   "at most " + std::to_string(kStressBlockGrowth) + " more blocks held" + after,
                   std::to_string(blocksGrown) + " more");
    if (privateBytes && now > privateBytes + kStressPrivateGrowth)
      context.Find(-1,
                   "private bytes grown by at most " + std::to_string(kStressPrivateGrowth >> 10) +
                       " KiB" + after,
                   "grown by " + std::to_string((now - privateBytes) >> 10) + " KiB");
  }
};

// Closes the Source and opens the same one again; false after a finding.
bool Reopen(CheckContext& context, const TW_IDENTITY& kept, int cycle) {
  const std::string which = "cycle " + std::to_string(cycle) + ": ";
  context.call = TripletText(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS);
  if (!TWAIN_SourceClose()) {
    context.Find(-1, which + "TWRC_SUCCESS", LastResult());
    return false;
  }
  TW_IDENTITY again = kept;
  again.Id = 0;  // the Manager gives the Source a new one
  context.call = TripletText(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS);
  if (!TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &again) || TWAIN_State() != 4) {
    context.Find(-1, which + "TWRC_SUCCESS, the Source open again", LastResult());
    return false;
  }
  return true;
}

// Enables the Source without its user interface and takes it back down:
// MSG_XFERREADY is waited for and the transfer it offers refused (MSG_RESET),
// as an application that changed its mind does.
bool EnableDisable(CheckContext& context, int cycle) {
  const std::string which = "cycle " + std::to_string(cycle) + ": ";
  context.call = TripletText(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS);
  const bool hidden = TWAIN_UIHidden() != 0;
  TWAIN_SetUIHidden(true);
  const bool enabled = TWAIN_SourceEnable(nullptr);
  TWAIN_SetUIHidden(hidden);
  if (!enabled) {
    context.Find(-1, which + "the Source enabled", LastResult());
    return false;
  }
  context.call = TripletText(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT);
  TWAIN_WaitForSourceEvent(kXferReadyMs);
  context.call = TripletText(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS);
  ReturnToState4();
  if (TWAIN_State() != 4) {
    context.Find(-1, which + "the Source disabled (state 4)",
                 "state " + std::to_string(TWAIN_State()) + ", " + LastResult());
    return false;
  }
  return true;
}

}  // namespace

void StressOpenClose(CheckContext& context) {
  TW_IDENTITY kept{};
  TWAIN_CopySourceIdentity(&kept);
  const int cycles = TheCheckSettings().stressCycles;
  if (!Reopen(context, kept, 1)) return;
  const Held before;
  for (int cycle = 2; cycle <= cycles; ++cycle) {
    if (!Reopen(context, kept, cycle)) return;
  }
  context.call = "MSG_CLOSEDS and MSG_OPENDS, over and over";
  before.Judge(context, cycles - 1);
}

void StressEnableDisable(CheckContext& context) {
  if (NeedsItsDialog(context)) return;
  const int cycles = TheCheckSettings().stressCycles;
  if (!EnableDisable(context, 1)) return;
  const Held before;
  for (int cycle = 2; cycle <= cycles; ++cycle) {
    if (!EnableDisable(context, cycle)) return;
  }
  context.call = "MSG_ENABLEDS and MSG_DISABLEDS, over and over";
  before.Judge(context, cycles - 1);
}

namespace {

// MSG_ENABLEDS with the user interface shown or hidden; the event that
// followed within `waitMs` (MSG_NULL for none) and the result, then back to state 4.
struct Enabled {
  bool ok = false;
  TW_UINT16 rc = 0;
  std::string text;
  TW_UINT16 event = MSG_NULL;
};
Enabled EnableWith(CheckContext& context, bool showUi, std::uint32_t waitMs) {
  Enabled enabled;
  context.call = TripletText(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS) +
                 (showUi ? " (ShowUI TRUE)" : " (ShowUI FALSE)");
  const bool hidden = TWAIN_UIHidden() != 0;
  TWAIN_SetUIHidden(!showUi);
  enabled.ok = TWAIN_SourceEnable(nullptr);
  TWAIN_SetUIHidden(hidden);
  enabled.rc = static_cast<TW_UINT16>(TWAIN_GetResultCode());
  enabled.text = enabled.ok ? ResultTextOf(enabled.rc, TWCC_SUCCESS) : LastResult();
  if (enabled.ok) enabled.event = TWAIN_WaitForSourceEvent(waitMs);
  return enabled;
}

}  // namespace

void UiShown(CheckContext& context) {
  // Shown: the Source takes it and waits for its user.
  const Enabled shown = EnableWith(context, true, kUiQuietMs);
  if (!shown.ok) {
    context.Find(-1, "TWRC_SUCCESS: every Source shows its user interface", shown.text);
  } else if (shown.event == MSG_XFERREADY) {
    context.Find(-1, "no MSG_XFERREADY before its user asks for an image",
                 "MSG_XFERREADY within " + std::to_string(kUiQuietMs / 1000) + " s");
  }
  if (shown.ok && shown.event != MSG_CLOSEDSREQ && TWAIN_State() == 5) {
    context.call = TripletText(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS);
    if (!TWAIN_SourceDisable()) context.Find(-1, "TWRC_SUCCESS with its dialog up", LastResult());
  }
  ReturnToState4();
  if (TWAIN_State() != 4) return;

  // Hidden: a Source that cannot be driven without it (CAP_UICONTROLLABLE
  // FALSE, or not known before 1.6) shows it anyway and says so.
  context.cap = CAP_UICONTROLLABLE;
  context.call = "MSG_GETCURRENT(CAP_UICONTROLLABLE)";
  TW_BOOL controllable = TW_FALSE;
  TWAIN_GetCurrentValue(CAP_UICONTROLLABLE, TWTY_BOOL, &controllable);
  context.cap = -1;
  if (controllable) return;  // the transfer checks drive it without
  const Enabled hiddenUi = EnableWith(context, false, 0);
  if (hiddenUi.ok && hiddenUi.rc != TWRC_CHECKSTATUS)
    context.Find(CAP_UICONTROLLABLE,
                 "TWRC_CHECKSTATUS (the user interface shown anyway), or TWRC_FAILURE",
                 hiddenUi.text);
  ReturnToState4();
}
