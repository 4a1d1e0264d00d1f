#include "pages/session_ladder.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "caps/logged_operations.h"
#include "pages/fault_note.h"
#include "pages/log.h"
#include "pages/manager_notes.h"
#include "platform/fault_guard.h"
#include "platform/tick_count.h"
#include "session/source_guard.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "vocab/twain_names.h"

namespace {

constexpr LadderLabels kLabels[] = {
    {"", ""},
    {"Load TWAIN", "Exit"},
    {"Open TWAIN", "Unload TWAIN"},
    {"Open Source", "Close TWAIN"},
    {"Enable Source", "Close Source"},
    {"waiting...", "Disable Source"},
    {"Start Transfer", "Abort Transfer"},
    {"transferring...", "End Transfer"},
};

// One step down: the provisional line, the operation, the timed final line.
struct DownStep {
  const char* before;
  bool (*action)(platform::WindowHandle window);
  const char* after;
  bool namesSource;  // the lines name the Source last opened
};

constexpr DownStep kDownSteps[] = {
    {},
    {},
    {"Unloading TWAIN Source Manager...",
     [](platform::WindowHandle) { return TWAIN_UnbindManager(); },
     "Unloaded TWAIN Source Manager [%4.2fs]", false},
    {"Closing TWAIN Source Manager...",
     [](platform::WindowHandle w) { return TWAIN_ManagerClose(w); },
     "Closed TWAIN Source Manager [%4.2fs]", false},
    {"Closing %s...", [](platform::WindowHandle) { return TWAIN_SourceClose(); },
     "Closed %s [%4.2fs]", true},
    {"Disabling Source...", [](platform::WindowHandle) { return TWAIN_SourceDisable(); },
     "Disable Source [%4.2fs]", false},
    {"Aborting Pending Xfers...", [](platform::WindowHandle) { return TWAIN_XferAbortAll(); },
     "Aborted Pending Xfers [%4.2fs]", false},
    {"Ending Xfer...", [](platform::WindowHandle) { return TWAIN_XferEnd(); },
     "Ended Xfer [%4.2fs]", false},
};

double SecondsSince(std::uint32_t start) {
  return static_cast<std::uint32_t>(platform::TickCount() - start) * 0.001;
}

// A Source's ProductName may fill its field without a terminating zero.
std::string ProductName(const TW_IDENTITY& identity) {
  return std::string(identity.ProductName,
                     strnlen(identity.ProductName, sizeof(identity.ProductName)));
}

class WaitCursor {
 public:
  explicit WaitCursor(LadderView& view) : view_(view) { view_.BeginWaitCursor(); }
  ~WaitCursor() { view_.EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  LadderView& view_;
};

}  // namespace

LadderLabels LadderLabelsFor(int state) {
  return state >= 1 && state <= 7 ? kLabels[state] : kLabels[0];
}

const char* XferMechText(int mechanism) {
  if (mechanism == TWSX_NATIVE) return " Xfer Mech: NATIVE";
  if (mechanism == TWSX_MEMORY) return " Xfer Mech: MEMORY";
  return " Xfer Mech: FILE";
}

// Held by the outermost step or refresh only, and never inside a fault
// guard, so a fault cannot leave it behind.
class SessionLadder::StepMark {
 public:
  explicit StepMark(SessionLadder& ladder) : ladder_(ladder) { ladder_.stepping_ = true; }
  ~StepMark() { ladder_.stepping_ = false; }
  StepMark(const StepMark&) = delete;
  StepMark& operator=(const StepMark&) = delete;

 private:
  SessionLadder& ladder_;
};

void SessionLadder::RunStep(void (SessionLadder::*step)()) {
  if (stepping_) return;
  {
    StepMark mark(*this);
    (this->*step)();
  }
  FinishStep();
}

bool SessionLadder::RunWork(const std::function<void()>& work) {
  if (stepping_) return false;
  {
    StepMark mark(*this);
    view_.EnableLadderButtons(false, false);
    view_.EnableSourceList(false);
    work();
    Arrange();
  }
  FinishStep();
  return true;
}

void SessionLadder::StepUp() {
  RunStep(&SessionLadder::StepUpInStep);
}

void SessionLadder::StepUpInStep() {
  view_.EnableLadderButtons(false, false);
  view_.EnableSourceList(false);
  // Opening a Source shows the wait cursor throughout. It is held out here
  // because a fault abandons whatever the guarded step holds.
  std::optional<WaitCursor> wait;
  if (TWAIN_State() == 3 && view_.SelectedSource() >= 0) wait.emplace(view_);
  GuardedStep([this] { StepUpBody(); });
  Arrange();
}

template <class F>
bool SessionLadder::GuardedStep(F&& body) {
  platform::FaultInfo fault;
  if (RunSourceGuarded(std::forward<F>(body), &fault)) return true;
  LogLine("Exception during state change!");
  LogFaultPlace(fault);
  view_.InfoBox(kStepFaultText);
  return false;
}

void SessionLadder::StepUpBody() {
  const std::uint32_t start = platform::TickCount();
  switch (TWAIN_State()) {
    case 1:
      LogProgress("Loading TWAIN Source Manager...");
      if (TWAIN_BindManager()) {
        LogLine("Loaded TWAIN Source Manager [%4.2fs]", SecondsSince(start));
      } else {
        LogLine("Loading TWAIN Source Manager...");
        LogLine(">>> Failed: Is TWAIN Installed?");
      }
      LogManagerBindNotes();
      break;
    case 2:
      LogProgress("Opening Source Manager...");
      if (TWAIN_ManagerOpen(view_.Handle())) {
        LogLine("Opened Source Manager [%4.2fs]", SecondsSince(start));
        LogManagerOpenNotes(true);
      } else {
        LogLine("Opening Source Manager...");
        LogLine(">>> Failed: TWAIN is hosed. Reboot?");
        LogManagerOpenNotes(false);
      }
      break;
    case 3:
      OpenSelectedSource();
      break;
    case 4:
      if (!XferMechNegotiated()) LoggedSetOneValue(ICAP_XFERMECH, TWTY_UINT16, CurrentXferMech());
      LogProgress("Enabling Data Source...");
      TWAIN_SourceEnable(view_.Handle());
      LogLine("Enabled Data Source [%4.2fs]", SecondsSince(start));
      break;
    case 6:
      if (view_.TransferImage()) LogLine("Transfer Time: %4.2fs", SecondsSince(start));
      break;
    default:
      break;
  }
}

void SessionLadder::StepDown() {
  if (stepping_) return;
  if (TWAIN_State() == 1) {
    view_.EnableLadderButtons(false, false);
    view_.CloseWindow();
    return;
  }
  RunStep(&SessionLadder::StepDownStep);
}

void SessionLadder::StepDownStep() {
  StepDownInStep();
}

// Lower's steps call into the Source as Higher's do, and are guarded alike.
bool SessionLadder::StepDownInStep() {
  const bool returned = GuardedStep([this] { StepDownBody(); });
  Arrange();
  return returned;
}

void SessionLadder::StepDownBody() {
  view_.EnableLadderButtons(false, false);
  view_.EnableSourceList(false);
  const std::uint32_t start = platform::TickCount();
  const int state = TWAIN_State();
  if (state >= 2 && state <= 7) {
    const DownStep& step = kDownSteps[state];
    const char* name = currentSourceName_.c_str();
    if (step.namesSource) {
      LogProgress(step.before, name);
      step.action(view_.Handle());
      LogLine(step.after, name, SecondsSince(start));
    } else {
      const std::uint32_t answers = TWAIN_Session().pendingAnswer.serial;
      LogProgress("%s", step.before);
      step.action(view_.Handle());
      LogLine(step.after, SecondsSince(start));
      NotePendingCount(answers);
    }
  }
}

void SessionLadder::NotePendingCount(std::uint32_t serial) {
  const PendingAnswer& answer = TWAIN_Session().pendingAnswer;
  if (answer.serial == serial) return;
  // Count is -1 when the Source does not know how many remain.
  const int count = static_cast<TW_INT16>(answer.count);
  const bool ended = answer.message == MSG_ENDXFER;
  LogNote("%s returned Count %d", ended ? "MSG_ENDXFER" : "MSG_RESET", count);
  if (!ended) return;
  if (endXferCount_ && *endXferCount_ > 0 && count >= *endXferCount_) {
    LogNote("The Source's Count did not go down after a transfer: %d before it, %d after it",
            *endXferCount_, count);
  }
  endXferCount_ = count;
}

void SessionLadder::OpenSelectedSource() {
  const int selected = view_.SelectedSource();
  if (selected < 0 || selected >= kMaxSources) return;
  if (!preferredSource_.empty() &&
      !EqualIgnoringCase(ProductName(sourceList_[selected]), preferredSource_)) {
    LogNote("The Source Manager lists no Source named \"%s\"", preferredSource_.c_str());
    return;
  }
  const std::uint32_t start = platform::TickCount();
  currentSourceName_ = ProductName(sourceList_[selected]);
  LogProgress("Opening %s...", currentSourceName_.c_str());
  const TW_UINT32 listedId = sourceList_[selected].Id;
  if (TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &sourceList_[selected])) {
    LogLine("Opened %s [%4.2fs]", currentSourceName_.c_str(), SecondsSince(start));
    LogSourceOpenNotes(true, listedId);
  } else {
    char text[96];
    std::snprintf(text, sizeof(text), "Failed to open: %s", currentSourceName_.c_str());
    LogLine("%s", text);
    LogSourceOpenNotes(false, listedId);
    view_.InfoBox(text);
  }
}

void SessionLadder::EnumerateSources() {
  WaitCursor wait(view_);
  LogProgress("Enumerating Data Sources...");
  view_.ClearSources();
  TW_IDENTITY identity{};
  bool listed = TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &identity);
  // The list holds 64 identities; a Manager that offers more, or never
  // ends its list, is not asked for more.
  for (int count = 1; listed; ++count) {
    const int index = view_.AddSource(ProductName(identity).c_str());
    if (index >= 0 && index < kMaxSources) sourceList_[index] = identity;
    if (count == kMaxSources) break;
    identity = TW_IDENTITY{};
    listed = TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &identity);
  }
  if (view_.SourceCount() == 0) {
    LogLine("Enumerating Data Sources...");
    LogNote("The Source Manager lists no Data Source: none is installed");
  }
  identity = TW_IDENTITY{};
  if (TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &identity)) {
    const std::string defaultName = ProductName(identity);
    for (int i = 0; i < view_.SourceCount(); ++i) {
      if (StartsWithIgnoringCase(view_.SourceText(i), defaultName)) {
        view_.SelectSource(i);
        break;
      }
    }
  }
  for (int i = 0; !preferredSource_.empty() && i < view_.SourceCount() && i < kMaxSources; ++i) {
    if (EqualIgnoringCase(ProductName(sourceList_[i]), preferredSource_)) view_.SelectSource(i);
  }
}

void SessionLadder::ChangeSource() {
  RunStep(&SessionLadder::ChangeSourceInStep);
  view_.ShowSelectedPage();
}

void SessionLadder::ChangeSourceInStep() {
  // A fault on the way down ends the change: the next step would meet the
  // same Source again.
  for (int state = 7; state >= 4; --state) {
    if (TWAIN_State() >= state && !StepDownInStep()) return;
  }
  if (TWAIN_State() == 3) StepUpInStep();
}

void SessionLadder::ArriveAt(int state, int old) {
  switch (state) {
    case 2:
      if (old >= 3) view_.ClearSources();
      break;
    case 3:
      SetXferMechNegotiated(false);
      if (old <= 2) EnumerateSources();
      break;
    case 4:
      view_.SetDeviceUiCheck(!TWAIN_UIHidden());
      if (old <= 3) {
        WaitCursor wait(view_);
        view_.EnableLadderButtons(false, false);
        view_.EnumerateCapabilities();
      }
      break;
    default:
      break;
  }
}

void SessionLadder::Refresh() {
  // Inside a step the ladder stays disabled until the step returns.
  if (stepping_) {
    Arrange();
  } else {
    RunStep(&SessionLadder::Arrange);
  }
}

void SessionLadder::Arrange() {
  view_.EnableWindow();
  int state = TWAIN_State();
  view_.PagesStateChanged(state, shownState_);
  while (state != shownState_) {
    WaitCursor wait(view_);
    view_.EnableLadderButtons(false, false);
    view_.EnableSourceList(false);
    const int old = shownState_;
    shownState_ = state;
    if (old >= 1 && old <= 7) view_.SetStatePicture(old, false);
    if (state >= 1 && state <= 7) view_.SetStatePicture(state, true);
    view_.ShowDeviceUiSwitch(state == 4);
    view_.ShowXferMechText(state >= 4);
    const LadderLabels labels = LadderLabelsFor(state);
    view_.SetLadderLabels(labels.higher, labels.lower);
    // A new enabling starts its own count of pending images.
    if (state <= 5) endXferCount_.reset();
    ArriveAt(state, old);
    state = TWAIN_State();
  }
}

void SessionLadder::EnableForState() {
  const int state = TWAIN_State();
  const bool higher = state == 1 || state == 2 || state == 4 || state == 6 ||
                      (state == 3 && view_.SourceCount() > 0);
  view_.EnableLadderButtons(higher, true);
  view_.EnableSourceList(state >= 3);
}

void SessionLadder::FinishStep() {
  EnableForState();
  view_.StepFinished();
}

bool SessionLadder::SourceEvent(const platform::Message& message) {
  // An event a 2.x Source's callback posted: ours, whatever the state.
  if (const CallbackEvent callback = TWAIN_TakeCallbackEvent(message);
      callback.kind != CallbackEventKind::kNotCallback) {
    if (callback.kind == CallbackEventKind::kAccepted) {
      AnswerSource(callback.message);
    } else {
      LogCallbackEventNote(callback);
    }
    return true;
  }
  if (shownState_ < 5) return false;
  TW_EVENT event{};
  event.pEvent = const_cast<platform::Message*>(&message);
  event.TWMessage = MSG_NULL;
  // A close request disables the Source: a step of its own, unless the
  // message was taken by a loop inside a step.
  std::optional<StepMark> mark;
  if (!stepping_) mark.emplace(*this);
  // Every message in states 5 to 7 reaches the Source here: a fault in its
  // event handling is reported as a step's, and the message counts as taken.
  bool claimed = true;
  if (GuardedStep([&] { claimed = TWAIN_DS(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event); }))
    AnswerSource(event.TWMessage);
  if (mark) {
    mark.reset();
    FinishStep();
  }
  return claimed;
}

void SessionLadder::AnswerSource(TW_UINT16 twMessage) {
  std::optional<StepMark> mark;
  if (!stepping_) mark.emplace(*this);
  Arrange();
  if (twMessage == MSG_XFERREADY) {
    LogLine("received MSG_XFERREADY");
  } else if (twMessage == MSG_CLOSEDSREQ || twMessage == MSG_CLOSEDSOK) {
    if (twMessage == MSG_CLOSEDSREQ) {
      LogLine("received MSG_CLOSEDSREQ");
    } else {
      LogNote("received MSG_CLOSEDSOK");
    }
    TWAIN_SourceDisable();
    Arrange();
  }
  if (mark) {
    mark.reset();
    FinishStep();
  }
}

void SessionLadder::StartupClimb() {
  StepUp();
  if (TWAIN_State() == 2) StepUp();
  if (TWAIN_State() == 3) {
    view_.AppendTabs();
    StepUp();
    Refresh();
  }
}

void SessionLadder::TimerTick() {
  if (timerGuard_ > 0) return;
  ++timerGuard_;
  Refresh();
  if (TWAIN_State() >= 4) view_.SetXferMechText(XferMechText(CurrentXferMech()));
  --timerGuard_;
}
