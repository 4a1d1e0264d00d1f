// What the Capabilities page does when a capability is selected, a tab of
// the SET strip is picked, SET or RESET is pressed: which triplets go out,
// which texts show, which editor is used. The dialog carries it out through
// CapabilitiesPageView.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "caps/container.h"
#include "pages/capability_display.h"
#include "platform/handles.h"

class CapabilitiesPageView {
 public:
  virtual ~CapabilitiesPageView() = default;
  virtual void SetGroupTitle(const std::string& title) = 0;
  virtual void EnableGetButtons(bool enabled) = 0;
  // A one-line answer is shown in the edit field, a list in the drop-down.
  virtual void ShowAnswer(AnswerKind kind, const AnswerDisplay& display, bool enabled) = 0;
  virtual void ShowItemTypeLabel(bool visible, const std::string& text) = 0;
  // The SET strip: one tab per container type, in order; -1 selects none.
  virtual void SetTabs(const std::vector<int>& conTypes) = 0;
  virtual void SelectTab(int index) = 0;
  virtual void ShowTabs(bool visible) = 0;
  virtual void ShowCannotStatics(bool visible) = 0;
  virtual void EnableSetReset(bool enabled) = 0;
  // Loads the container type's editor (it refills only when the pair changed).
  virtual void LoadEditor(int conType, int cap, int itemType) = 0;
  // Shows the editor of conType placed under the strip, hides the others,
  // when the page is visible; -1 hides them all.
  virtual void ShowEditor(int conType) = 0;
  virtual void LayOutLog() = 0;
  // The current editor's container, or null.
  virtual ContainerHandle* BuildFromEditor(int conType) = 0;
  // The window that owns the page's message boxes.
  virtual platform::WindowHandle BoxOwner() = 0;
};

constexpr const char* kSetConKey = "SetCon";

// The log view's right edge under the page: the page's width from its left
// edge, but clear of a visible editor that reaches down into the log.
struct EditorBox {
  bool visible;
  int left;
  int bottom;
};
int LogRightEdge(int logLeft, int logTop, int pageWidth, EditorBox editor);
constexpr int kLogEditorGap = 16;

class CapabilitiesPageModel {
 public:
  explicit CapabilitiesPageModel(CapabilitiesPageView& view) : view_(view) {}

  void Select(int cap);
  // The user's GET, GETCURRENT or GETDEFAULT: logged.
  void Get(AnswerKind kind);
  // A tab of the SET strip was picked: remembered for the capability.
  void PickTab(int index);
  void Set();
  void Reset();
  // The capability report of caps (see CapabilityReportText); nothing when
  // the Source faulted while it was asked.
  std::optional<std::string> Report(const std::string& identityReport,
                                    const std::vector<int>& caps);
  // The page was shown or hidden.
  void Shown(bool visible);
  // The session state hook for the page's answers (the list is the dialog's).
  void StateChanged(int newState, int shownState);

  int selected() const { return selected_; }
  bool settable() const { return settable_; }
  int setItemType() const { return setItemType_; }
  int setConType() const { return setCon_; }
  int editorConType() const { return editor_; }
  const std::vector<int>& tabs() const { return tabs_; }

 private:
  // GET, GETCURRENT and GETDEFAULT with the log switch off; the current
  // value of the GETCURRENT answer is returned.
  std::optional<std::string> SilentRefresh();
  void ChooseEditor();
  // Everything the page asks the Source runs under a fault guard: a Source
  // that faults is reported (a note, the library's hard reset, a box) and the
  // probe goes on. False when ask ended in a fault.
  template <class F>
  bool AskSource(F&& ask);
  // Names the request about to go out, for the fault report.
  void Asking(const char* message);

  CapabilitiesPageView& view_;
  int selected_ = -1;
  bool settable_ = false;
  int mask_ = 0;
  int setItemType_ = 0;
  int setCon_ = 0;
  int editor_ = 5;  // TWON_ONEVALUE
  bool visible_ = false;
  std::vector<int> tabs_;
  // What is being asked, and the container held meanwhile, for the fault
  // report: a fault abandons the frames that would have freed it.
  std::string request_;
  ContainerHandle* held_ = nullptr;
  // The report being written, kept here for the same reason.
  std::string report_;
};
