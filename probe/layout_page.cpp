#include "probe/layout_page.h"

#include <string>

#include "probe/resource_ids.h"
#include "session/twain_session.h"

BOOL LayoutPage::OnInitDialog() {
  form_.OnRefresh([this](const LayoutFields& fields) { ShowFields(fields); });
  return TRUE;
}

void LayoutPage::StateChanged(int newState, int shownState) {
  const auto buttons = LayoutButtonsFor(newState, shownState);
  if (!buttons) return;
  EnableWindow(Item(IDC_LAYOUT_GET), buttons->get);
  EnableWindow(Item(IDC_LAYOUT_GETDEFAULT), buttons->getDefault);
  EnableWindow(Item(IDC_LAYOUT_RESET), buttons->reset);
  EnableWindow(Item(IDC_LAYOUT_SET), buttons->set);
  // Opening a Source while the page is in view: the units are now known.
  if (IsWindowVisible(hwnd())) UpdateCaption();
}

INT_PTR LayoutPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SHOWWINDOW && wParam) UpdateCaption();
  return Page::OnMessage(message, wParam, lParam);
}

void LayoutPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDC_LAYOUT_GET:
      form_.Request(MSG_GET);
      break;
    case IDC_LAYOUT_GETDEFAULT:
      form_.Request(MSG_GETDEFAULT);
      break;
    case IDC_LAYOUT_RESET:
      form_.Request(MSG_RESET);
      break;
    case IDC_LAYOUT_SET:
      ReadFields();
      form_.Set();
      // A stopped SET still rewrote the number fields.
      ShowFields(form_.fields());
      break;
    default:
      break;
  }
}

void LayoutPage::ReadFields() {
  for (int i = 0; i < kLayoutFieldCount; ++i) {
    HWND field = Item(IDC_LAYOUT_LEFT + i);
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(field)) + 1, '\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextA(field, text.data(), static_cast<int>(text.size()))));
    form_.SetField(i, std::move(text));
  }
}

void LayoutPage::ShowFields(const LayoutFields& fields) {
  for (int i = 0; i < kLayoutFieldCount; ++i) {
    const std::string& text = fields[static_cast<std::size_t>(i)];
    SetItemText(IDC_LAYOUT_LEFT + i, text.c_str());
  }
}

void LayoutPage::UpdateCaption() {
  if (auto caption = FrameCaptionWhenShown(TWAIN_State()))
    SetItemText(IDC_LAYOUT_FRAME_BOX, caption->c_str());
}
