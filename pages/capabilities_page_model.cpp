#include "pages/capabilities_page_model.h"

#include <algorithm>
#include <utility>

#include "caps/logged_operations.h"
#include "caps/set_rules.h"
#include "pages/capability_enumeration.h"
#include "pages/fault_note.h"
#include "pages/log.h"
#include "platform/message_box.h"
#include "platform/settings.h"
#include "session/source_guard.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "vocab/number_text.h"
#include "vocab/twain_names.h"

namespace {

// Tab order of the SET strip.
constexpr int kTabOrder[] = {TWON_ARRAY, TWON_ENUMERATION, TWON_ONEVALUE, TWON_RANGE};

bool IsEditorType(int conType) {
  return conType >= TWON_ARRAY && conType <= TWON_RANGE;
}

}  // namespace

int LogRightEdge(int logLeft, int logTop, int pageWidth, EditorBox editor) {
  const int right = logLeft + pageWidth;
  if (editor.visible && editor.bottom >= logTop && right >= editor.left)
    return editor.left - kLogEditorGap;
  return right;
}

void CapabilitiesPageModel::Select(int cap) {
  selected_ = cap;
  if (cap == -1 || IsRefusedCapability(cap)) {
    settable_ = false;
    mask_ = 0;
    view_.SetGroupTitle("");
    view_.EnableGetButtons(false);
    for (int kind = 0; kind < kAnswerKinds; ++kind) {
      AnswerDisplay refusal;
      refusal.text = kRefusalLines[kind];
      view_.ShowAnswer(static_cast<AnswerKind>(kind), refusal, false);
    }
    view_.ShowItemTypeLabel(false, "");
  } else {
    view_.SetGroupTitle(CapName(cap));
    view_.EnableGetButtons(true);
    // A fault took the Source and the capability with it: the page was
    // cleared for no selection.
    if (!AskSource([this] { SilentRefresh(); })) return;
    const SetRule rule = LookupSetRule(cap);
    mask_ = rule.mask;
    setItemType_ = rule.itemType;
    setCon_ = platform::ReadSettingInt(CapName(cap).c_str(), kSetConKey, rule.first);
    settable_ = mask_ != 0;
  }
  if (settable_) {
    tabs_.clear();
    for (int conType : kTabOrder) {
      if (mask_ & ContainerBit(conType)) tabs_.push_back(conType);
    }
    view_.SetTabs(tabs_);
    ChooseEditor();
    view_.ShowTabs(true);
    view_.ShowItemTypeLabel(true, ItemTypeName(setItemType_));
  } else {
    tabs_.clear();
    view_.ShowTabs(false);
    view_.ShowItemTypeLabel(false, "");
    view_.ShowEditor(-1);
    view_.LayOutLog();
  }
  view_.ShowCannotStatics(!settable_ && cap != -1);
  view_.EnableSetReset(settable_);
}

void CapabilitiesPageModel::Get(AnswerKind kind) {
  if (selected_ == -1) return;
  AskSource([&] {
    Asking(kAnswerMessages[kind]);
    view_.ShowAnswer(kind, GetAnswer(kind, selected_).display, true);
  });
}

void CapabilitiesPageModel::PickTab(int index) {
  if (index < 0 || index >= static_cast<int>(tabs_.size()) || selected_ == -1) return;
  setCon_ = tabs_[index];
  platform::WriteSettingInt(CapName(selected_).c_str(), kSetConKey, setCon_);
  ChooseEditor();
}

void CapabilitiesPageModel::ChooseEditor() {
  const auto found = std::find(tabs_.begin(), tabs_.end(), setCon_);
  view_.SelectTab(found == tabs_.end() ? -1 : static_cast<int>(found - tabs_.begin()));
  if (IsEditorType(setCon_)) editor_ = setCon_;
  if (settable_) view_.LoadEditor(editor_, selected_, setItemType_);
  if (visible_) view_.ShowEditor(IsEditorType(setCon_) ? setCon_ : -1);
  view_.LayOutLog();
}

std::optional<std::string> CapabilitiesPageModel::SilentRefresh() {
  SetLogSwitch(false);
  std::optional<std::string> current;
  for (int kind = 0; kind < kAnswerKinds; ++kind) {
    Asking(kAnswerMessages[kind]);
    Answer answer = GetAnswer(static_cast<AnswerKind>(kind), selected_);
    view_.ShowAnswer(static_cast<AnswerKind>(kind), answer.display, true);
    if (kind == kAnswerCurrent) current = answer.current;
  }
  SetLogSwitch(true);
  return current;
}

void CapabilitiesPageModel::Set() {
  if (selected_ == -1) return;
  AskSource([this] {
    std::optional<std::string> sent;
    held_ = view_.BuildFromEditor(editor_);
    const bool built = held_ != nullptr;
    if (built) {
      Asking("MSG_SET");
      LoggedSet(static_cast<TW_UINT16>(selected_), held_);
      sent = CurrentValueText(held_, selected_);
      CONTAINER_Free(std::exchange(held_, nullptr));
    }
    const std::optional<std::string> current = SilentRefresh();
    if (built) {
      if (auto note = ReadBackNote(sent, current)) LogNote("%s", note->c_str());
    }
  });
}

void CapabilitiesPageModel::Reset() {
  if (selected_ == -1) return;
  AskSource([this] {
    Asking("MSG_RESET");
    LoggedReset(static_cast<TW_UINT16>(selected_));
    SilentRefresh();
  });
}

std::optional<std::string> CapabilitiesPageModel::Report(const std::string& identityReport,
                                                         const std::vector<int>& caps) {
  request_ = "the capability report";
  if (!AskSource([&] { CapabilityReportText(identityReport, caps, report_); })) return std::nullopt;
  return std::exchange(report_, {});
}

void CapabilitiesPageModel::Asking(const char* message) {
  request_ = std::string(message) + "(" + CapName(selected_) + ")";
}

template <class F>
bool CapabilitiesPageModel::AskSource(F&& ask) {
  // What the request held is freed, and the capability is gone with the
  // session: nothing may act on it.
  return AskSourceGuarded(request_, view_.BoxOwner(), std::forward<F>(ask), [this] {
    CONTAINER_Free(std::exchange(held_, nullptr));
    Select(-1);
  });
}

void CapabilitiesPageModel::Shown(bool visible) {
  visible_ = visible;
  view_.ShowEditor(visible && settable_ ? editor_ : -1);
  view_.LayOutLog();
}

void CapabilitiesPageModel::StateChanged(int newState, int shownState) {
  if (newState == shownState) return;
  // The list goes below state 4, however the session got there.
  if (newState < 4 && shownState >= 4) Select(-1);
}
