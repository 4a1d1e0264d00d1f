// The "Capabilities" tab: the capability list filled by EnumCaps, the three
// answers of the selected capability, and the SET area with its four value
// editors. What it does is CapabilitiesPageModel; this class is its controls.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "pages/capabilities_page_model.h"
#include "pages/capability_enumeration.h"
#include "pages/capability_name_index.h"
#include "probe/page.h"
#include "probe/value_editors.h"

class CapabilitiesPage : public Page, public CapabilityListView, public CapabilitiesPageView {
 public:
  CapabilitiesPage();
  void StateChanged(int newState, int shownState) override;
  void EnumerateCapabilities() override;

  CapabilitiesPageModel& model() { return model_; }
  // The editor of a container type (TWON_ARRAY to TWON_RANGE), or null.
  ValueEditor* Editor(int conType);
  // Selects the listed capability and picks its SET tab by text ("RANGE"),
  // as the user would; false when either is not offered.
  bool ShowCapability(const char* name, const char* tab);
  // Opens the GET answer's drop-down.
  void DropDownGetAnswer();
  // Writes the capability report of the listed capabilities; false on failure.
  bool SaveReport(const char* path);

  // CapabilityListView.
  void ClearCapabilities() override;
  void EnableCapabilities(bool enabled) override;
  void AddCapability(std::string_view text, int code) override;
  bool HasCapabilityBeginning(std::string_view prefix) override;
  void SelectFirstCapability() override;

  // CapabilitiesPageView.
  void SetGroupTitle(const std::string& title) override;
  void EnableGetButtons(bool enabled) override;
  void ShowAnswer(AnswerKind kind, const AnswerDisplay& display, bool enabled) override;
  void ShowItemTypeLabel(bool visible, const std::string& text) override;
  void SetTabs(const std::vector<int>& conTypes) override;
  void SelectTab(int index) override;
  void ShowTabs(bool visible) override;
  void ShowCannotStatics(bool visible) override;
  void EnableSetReset(bool enabled) override;
  void LoadEditor(int conType, int cap, int itemType) override;
  void ShowEditor(int conType) override;
  void LayOutLog() override;
  ContainerHandle* BuildFromEditor(int conType) override;
  platform::WindowHandle BoxOwner() override { return MainWindow(); }

 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnCommand(int id, int code) override;

 private:
  void SelectListed();
  void ContextMenu(int x, int y);
  // Painting held back while a run fills the list and shows the first
  // capability, then done once.
  void Freeze();
  void Thaw();
  HWND MainWindow() const { return GetParent(hwnd()); }

  CapabilitiesPageModel model_;
  // The list's texts, so the scan's prefix checks need no list box search,
  // which costs tens of microseconds a call under Wine.
  CapabilityNameIndex listed_;
  // The main window's log view, found once: it lives as long as this page.
  HWND logView_ = nullptr;
  std::vector<int> shownTabs_;  // what the SET strip holds
  bool frozen_ = false;
  bool pageFrozen_ = false;  // the page too, as it was shown
  ArrayEditor arrayEditor_;
  EnumEditor enumEditor_;
  OneValueEditor oneValueEditor_;
  RangeEditor rangeEditor_;
};
