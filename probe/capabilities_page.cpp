#include "probe/capabilities_page.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "pages/source_identity_report.h"
#include "platform/message_box.h"
#include "probe/resource_ids.h"
#include "probe/window_rect.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"

namespace {

struct AnswerIds {
  int button;
  int text;
  int lines;
};
constexpr AnswerIds kAnswers[kAnswerKinds] = {
    {IDC_CAP_GET, IDC_CAP_GET_TEXT, IDC_CAP_GET_LINES},
    {IDC_CAP_GETCURRENT, IDC_CAP_CURRENT_TEXT, IDC_CAP_CURRENT_LINES},
    {IDC_CAP_GETDEFAULT, IDC_CAP_DEFAULT_TEXT, IDC_CAP_DEFAULT_LINES},
};

// Posted by Freeze: a message box shown during a run (a fault's report)
// takes it in its own loop, so the page is painted behind the box.
constexpr UINT kThawMessage = WM_APP + 1;

constexpr const char* kTabTexts[] = {"", "", "", "ARRAY", "ENUM", "ONEVAL", "RANGE"};

void Show(HWND window, bool visible) {
  ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
}

}  // namespace

CapabilitiesPage::CapabilitiesPage() : model_(*this) {}

BOOL CapabilitiesPage::OnInitDialog() {
  for (ValueEditor* editor :
       {static_cast<ValueEditor*>(&arrayEditor_), static_cast<ValueEditor*>(&enumEditor_),
        static_cast<ValueEditor*>(&oneValueEditor_), static_cast<ValueEditor*>(&rangeEditor_)})
    editor->CreateIn(MainWindow());
  model_.Select(-1);
  return TRUE;
}

ValueEditor* CapabilitiesPage::Editor(int conType) {
  switch (conType) {
    case TWON_ARRAY:
      return &arrayEditor_;
    case TWON_ENUMERATION:
      return &enumEditor_;
    case TWON_ONEVALUE:
      return &oneValueEditor_;
    case TWON_RANGE:
      return &rangeEditor_;
    default:
      return nullptr;
  }
}

INT_PTR CapabilitiesPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == IDC_CAP_SET_TABS && header->code == TCN_SELCHANGE) {
        model_.PickTab(static_cast<int>(SendItem(IDC_CAP_SET_TABS, TCM_GETCURSEL)));
      }
      return TRUE;
    }
    case kThawMessage:
      Thaw();
      return TRUE;
    case WM_SHOWWINDOW:
      model_.Shown(wParam != 0);
      return FALSE;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == Item(IDC_CAP_LIST)) {
        ContextMenu(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return TRUE;
      }
      return FALSE;
    default:
      return Page::OnMessage(message, wParam, lParam);
  }
}

void CapabilitiesPage::OnCommand(int id, int code) {
  if (id == IDC_CAP_LIST) {
    if (code == LBN_SELCHANGE) SelectListed();
    return;
  }
  if (code != BN_CLICKED) return;
  for (int kind = 0; kind < kAnswerKinds; ++kind) {
    if (id == kAnswers[kind].button) model_.Get(static_cast<AnswerKind>(kind));
  }
  if (id == IDC_CAP_SET) model_.Set();
  if (id == IDC_CAP_RESET) model_.Reset();
}

void CapabilitiesPage::SelectListed() {
  HWND list = Item(IDC_CAP_LIST);
  const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
  model_.Select(index == LB_ERR ? -1
                                : static_cast<int>(SendMessageA(list, LB_GETITEMDATA, index, 0)));
}

void CapabilitiesPage::StateChanged(int newState, int shownState) {
  if (newState == shownState) return;
  model_.StateChanged(newState, shownState);
  if (newState == 4 && shownState < 4) EnableCapabilities(true);
  if (newState < 4) {
    EnableCapabilities(false);
    ClearCapabilities();
  }
}

void CapabilitiesPage::EnumerateCapabilities() {
  Freeze();
  EnumCaps(*this, MainWindow());
  Thaw();
}

// Under Wine each change to a shown control is painted as it is made: the
// list's entries, then each control the first capability's display touches.
// The list and the page are painted once, when the run is over.
void CapabilitiesPage::Freeze() {
  if (frozen_) return;
  frozen_ = true;
  // A page behind another tab stays hidden: giving back its drawing would show it.
  pageFrozen_ = (GetWindowLongA(hwnd(), GWL_STYLE) & WS_VISIBLE) != 0;
  SendItem(IDC_CAP_LIST, WM_SETREDRAW, FALSE);
  if (pageFrozen_) SendMessageA(hwnd(), WM_SETREDRAW, FALSE, 0);
  PostMessageA(hwnd(), kThawMessage, 0, 0);
}

void CapabilitiesPage::Thaw() {
  if (!frozen_) return;
  frozen_ = false;
  // The list first, while the page still holds its painting back: the list
  // then sets up its scroll bar without drawing it.
  SendItem(IDC_CAP_LIST, WM_SETREDRAW, TRUE);
  if (!pageFrozen_) return;  // a hidden page is painted whole when it is shown
  SendMessageA(hwnd(), WM_SETREDRAW, TRUE, 0);
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void CapabilitiesPage::ClearCapabilities() {
  SendItem(IDC_CAP_LIST, LB_RESETCONTENT);
  listed_.Clear();
}

void CapabilitiesPage::EnableCapabilities(bool enabled) {
  EnableWindow(Item(IDC_CAP_LIST), enabled);
}

void CapabilitiesPage::AddCapability(std::string_view text, int code) {
  HWND list = Item(IDC_CAP_LIST);
  const std::string terminated(text);
  const LRESULT index =
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(terminated.c_str()));
  if (index < 0) return;
  SendMessageA(list, LB_SETITEMDATA, index, code);
  listed_.Add(text);
}

bool CapabilitiesPage::HasCapabilityBeginning(std::string_view prefix) {
  return listed_.HasBeginning(prefix);
}

void CapabilitiesPage::SelectFirstCapability() {
  SendItem(IDC_CAP_LIST, LB_SETCURSEL);
  SelectListed();
}

void CapabilitiesPage::SetGroupTitle(const std::string& title) {
  SetItemText(IDC_CAP_GROUP, title.c_str());
}

void CapabilitiesPage::EnableGetButtons(bool enabled) {
  for (const AnswerIds& ids : kAnswers) EnableWindow(Item(ids.button), enabled);
}

void CapabilitiesPage::ShowAnswer(AnswerKind kind, const AnswerDisplay& display, bool enabled) {
  HWND text = Item(kAnswers[kind].text);
  HWND lines = Item(kAnswers[kind].lines);
  if (!display.asLines) {
    SetWindowTextA(text, display.text.c_str());
    EnableWindow(text, enabled);
    Show(text, true);
    Show(lines, false);
    return;
  }
  SendMessageA(lines, WM_SETREDRAW, FALSE, 0);
  SendMessageA(lines, CB_RESETCONTENT, 0, 0);
  for (const std::string& line : display.lines)
    SendMessageA(lines, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  SendMessageA(lines, CB_SETCURSEL, 0, 0);
  SendMessageA(lines, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(lines, nullptr, TRUE);
  EnableWindow(lines, enabled);
  Show(lines, true);
  Show(text, false);
}

void CapabilitiesPage::ShowItemTypeLabel(bool visible, const std::string& text) {
  if (visible) SetItemText(IDC_CAP_ITEM_TYPE, text.c_str());
  Show(Item(IDC_CAP_ITEM_TYPE), visible);
}

void CapabilitiesPage::SetTabs(const std::vector<int>& conTypes) {
  // Each tab put in measures every tab's text again, which under Wine costs
  // a millisecond for four: capabilities that offer the same tabs keep them.
  if (conTypes == shownTabs_) return;
  shownTabs_ = conTypes;
  HWND tabs = Item(IDC_CAP_SET_TABS);
  SendMessageA(tabs, TCM_DELETEALLITEMS, 0, 0);
  for (std::size_t i = 0; i < conTypes.size(); ++i) {
    const int conType = conTypes[i];
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<char*>(conType >= 3 && conType <= 6 ? kTabTexts[conType] : "?");
    item.lParam = conType;
    SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
}

void CapabilitiesPage::SelectTab(int index) {
  SendItem(IDC_CAP_SET_TABS, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void CapabilitiesPage::ShowTabs(bool visible) {
  Show(Item(IDC_CAP_SET_TABS), visible);
}

void CapabilitiesPage::ShowCannotStatics(bool visible) {
  Show(Item(IDC_CAP_CANNOT_SET), visible);
  Show(Item(IDC_CAP_CANNOT_RESET), visible);
}

void CapabilitiesPage::EnableSetReset(bool enabled) {
  EnableWindow(Item(IDC_CAP_SET), enabled);
  EnableWindow(Item(IDC_CAP_RESET), enabled);
}

void CapabilitiesPage::LoadEditor(int conType, int cap, int itemType) {
  if (ValueEditor* editor = Editor(conType)) editor->Load(cap, itemType);
}

void CapabilitiesPage::ShowEditor(int conType) {
  const RECT strip = ClientRectOf(Item(IDC_CAP_SET_TABS), MainWindow());
  for (int type = TWON_ARRAY; type <= TWON_RANGE; ++type) {
    ValueEditor* editor = Editor(type);
    if (!editor || !editor->hwnd()) continue;
    if (type != conType) {
      Show(editor->hwnd(), false);
      continue;
    }
    SetWindowPos(editor->hwnd(), HWND_TOP, strip.left, strip.bottom - 2, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
    Show(editor->hwnd(), true);
  }
}

void CapabilitiesPage::LayOutLog() {
  if (!logView_) logView_ = GetDlgItem(MainWindow(), IDC_LOG_VIEW);
  HWND log = logView_;
  if (!log) return;
  const RECT logRect = ClientRectOf(log, MainWindow());
  RECT page;
  GetWindowRect(hwnd(), &page);
  EditorBox box{false, 0, 0};
  if (ValueEditor* editor = Editor(model_.editorConType()); editor && editor->hwnd()) {
    const RECT rect = ClientRectOf(editor->hwnd(), MainWindow());
    box = {IsWindowVisible(editor->hwnd()) != FALSE, static_cast<int>(rect.left),
           static_cast<int>(rect.bottom)};
  }
  const int right = LogRightEdge(logRect.left, logRect.top, page.right - page.left, box);
  if (right == logRect.right) return;
  MoveWindow(log, logRect.left, logRect.top, right - logRect.left, logRect.bottom - logRect.top,
             TRUE);
}

ContainerHandle* CapabilitiesPage::BuildFromEditor(int conType) {
  ValueEditor* editor = Editor(conType);
  return editor ? editor->Build() : nullptr;
}

bool CapabilitiesPage::ShowCapability(const char* name, const char* tab) {
  HWND list = Item(IDC_CAP_LIST);
  if (SendMessageA(list, LB_SELECTSTRING, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(name)) == LB_ERR)
    return false;
  SelectListed();
  if (!tab || !*tab) return true;
  const std::vector<int>& tabs = model_.tabs();
  for (std::size_t i = 0; i < tabs.size(); ++i) {
    if (tabs[i] >= 3 && tabs[i] <= 6 && std::strcmp(kTabTexts[tabs[i]], tab) == 0) {
      SendItem(IDC_CAP_SET_TABS, TCM_SETCURSEL, i, 0);
      model_.PickTab(static_cast<int>(i));
      return true;
    }
  }
  return false;
}

void CapabilitiesPage::DropDownGetAnswer() {
  SendItem(IDC_CAP_GET_LINES, CB_SHOWDROPDOWN, TRUE, 0);
}

bool CapabilitiesPage::SaveReport(const char* path) {
  HWND list = Item(IDC_CAP_LIST);
  std::vector<int> caps;
  const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i)
    caps.push_back(static_cast<int>(SendMessageA(list, LB_GETITEMDATA, i, 0)));
  TW_IDENTITY identity{};
  const std::string header = TWAIN_State() >= 4 && TWAIN_CopySourceIdentity(&identity)
                                 ? SourceIdentityReport(identity)
                                 : std::string(kNoSourceText) + "\r\n";
  const std::optional<std::string> report = model_.Report(header, caps);
  if (!report) return false;
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const bool written = std::fwrite(report->data(), 1, report->size(), file) == report->size();
  return std::fclose(file) == 0 && written;
}

void CapabilitiesPage::ContextMenu(int x, int y) {
  HMENU menu = CreatePopupMenu();
  const bool ready = TWAIN_State() >= 4 && SendItem(IDC_CAP_LIST, LB_GETCOUNT) > 0;
  AppendMenuA(menu, MF_STRING | (ready ? 0 : MF_GRAYED), IDM_CAP_SAVE_REPORT, "Save Report...");
  const int command =
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, hwnd(), nullptr);
  DestroyMenu(menu);
  if (command != IDM_CAP_SAVE_REPORT) return;
  char path[MAX_PATH] = "capabilities.txt";
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = MainWindow();
  dialog.lpstrFilter = "Text files (*.txt)\0*.txt\0All files\0*.*\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = sizeof(path);
  dialog.lpstrDefExt = "txt";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (GetSaveFileNameA(&dialog) && !SaveReport(path))
    platform::InfoBox(MainWindow(), "The report could not be saved.", kProgramCaption);
}
