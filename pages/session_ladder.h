// The session ladder: Higher and Lower move the TWAIN session one state up
// or down with timed log lines; refresh brings the window into line with the
// library's state, which is the truth. The ladder talks to its window only
// through LadderView, so all of it runs in host tests.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/handles.h"
#include "platform/message_queue.h"
#include "twain/twain.h"

// What the ladder needs of the window that holds it.
class LadderView {
 public:
  virtual ~LadderView() = default;

  virtual platform::WindowHandle Handle() = 0;
  virtual void EnableWindow() = 0;
  virtual void EnableLadderButtons(bool higher, bool lower) = 0;
  virtual void SetLadderLabels(const char* higher, const char* lower) = 0;
  virtual void SetStatePicture(int state, bool current) = 0;
  virtual void ShowDeviceUiSwitch(bool visible) = 0;
  virtual void SetDeviceUiCheck(bool checked) = 0;
  virtual void ShowXferMechText(bool visible) = 0;
  virtual void SetXferMechText(const char* text) = 0;

  // The Data Source drop-down list.
  virtual void ClearSources() = 0;
  // The index the new item received, or -1.
  virtual int AddSource(const char* name) = 0;
  virtual int SourceCount() = 0;
  virtual int SelectedSource() = 0;  // -1 for none
  virtual void SelectSource(int index) = 0;
  virtual std::string SourceText(int index) = 0;
  virtual void EnableSourceList(bool enabled) = 0;

  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  virtual void InfoBox(const char* text) = 0;
  virtual void CloseWindow() = 0;

  // The pages: state changed, in the order Capabilities, Image Info,
  // Layout, Images, Source.
  virtual void PagesStateChanged(int newState, int shownState) = 0;
  virtual void EnumerateCapabilities() = 0;
  // The Images page's transfer; false while there is no page to do it.
  virtual bool TransferImage() = 0;
  virtual void AppendTabs() = 0;
  virtual void ShowSelectedPage() = 0;
  // Called when a step (or a refresh with its arrival actions) has returned
  // and the ladder is enabled again; a close asked for during the step may
  // be carried out now.
  virtual void StepFinished() {}
};

struct LadderLabels {
  const char* higher;
  const char* lower;
};
// The labels of Higher and Lower in a state (1 to 7).
LadderLabels LadderLabelsFor(int state);
// The text of the transfer-mechanism display.
const char* XferMechText(int mechanism);

constexpr int kMaxSources = 64;
constexpr const char* kStepFaultText =
    "An exception (a fatal execution error) has been detected in the active Data Source or "
    "TWAIN Manager\n\nVorrel is probably unstable now. We recommend you exit or at least close "
    "the DS.";

class SessionLadder {
 public:
  explicit SessionLadder(LadderView& view) : view_(view) {}

  void StepUp();
  void StepDown();
  void ChangeSource();
  void Refresh();
  // Offers a message taken from the queue to the enabled Source; true when
  // the Source claimed it and it must not be dispatched.
  bool SourceEvent(const platform::Message& message);
  void StartupClimb();
  void TimerTick();
  // Work on the open Source beside Higher and Lower (the conformance pass),
  // run as a step: the ladder is disabled until it returns and then shown
  // as the state it left. False, with nothing run, inside another step.
  bool RunWork(const std::function<void()>& work);
  // Opens the Source of this ProductName instead of the default one, and
  // none when the Manager lists no such Source (a headless check must not
  // open a default Source that may crash first).
  void PreferSource(std::string productName) { preferredSource_ = std::move(productName); }

  // True from the start of a step (or of a refresh) until it has returned,
  // its closing refresh's arrival actions included. Modal boxes shown inside
  // deliver timer ticks and clicks: a refresh then leaves the ladder
  // disabled and no second step starts.
  bool inStep() const { return stepping_; }
  int shownState() const { return shownState_; }
  const std::string& currentSourceName() const { return currentSourceName_; }
  const TW_IDENTITY& listedSource(int index) const { return sourceList_[index]; }

 private:
  class StepMark;

  // Runs a step under the mark, then enables the ladder for the state reached.
  void RunStep(void (SessionLadder::*step)());
  void ChangeSourceInStep();
  void StepUpInStep();
  void StepUpBody();
  void StepDownStep();
  // False when the step ended in a fault inside the Source (reported).
  bool StepDownInStep();
  void StepDownBody();
  // Runs code that calls into the Source under the fault guard; a fault is
  // reported as a step's fault. False after one.
  template <class F>
  bool GuardedStep(F&& body);
  void Arrange();
  void EnableForState();
  void FinishStep();
  void EnumerateSources();
  void OpenSelectedSource();
  void ArriveAt(int state, int old);
  // What a Source event asks of the window, by message or by callback.
  void AnswerSource(TW_UINT16 twMessage);
  // The Count of a MSG_ENDXFER or MSG_RESET answered since `serial`.
  void NotePendingCount(std::uint32_t serial);

  LadderView& view_;
  int shownState_ = -1;
  TW_IDENTITY sourceList_[kMaxSources] = {};
  std::string currentSourceName_;
  std::string preferredSource_;
  int timerGuard_ = 0;
  bool stepping_ = false;
  // The Count the last MSG_ENDXFER of this enabling returned.
  std::optional<int> endXferCount_;
};
