#include "probe/layout_page.h"

#include <string>

#include "pages/fault_note.h"
#include "pages/layout_form.h"
#include "probe/resource_ids.h"
#include "session/twain_session.h"
#include "vocab/triplet_text.h"

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
  // Later states cannot change them, so they are not asked again.
  if (IsWindowVisible(hwnd()) && CaptionNeedsUnits(newState, shownState)) UpdateCaption();
}

INT_PTR LayoutPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SHOWWINDOW && wParam) UpdateCaption();
  return Page::OnMessage(message, wParam, lParam);
}

void LayoutPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDC_LAYOUT_GET:
    case IDC_LAYOUT_GETDEFAULT:
    case IDC_LAYOUT_RESET: {
      const TW_UINT16 msg = id == IDC_LAYOUT_GET          ? MSG_GET
                            : id == IDC_LAYOUT_GETDEFAULT ? MSG_GETDEFAULT
                                                          : MSG_RESET;
      AskSourceGuarded(TripletText(DG_IMAGE, DAT_IMAGELAYOUT, msg), hwnd(),
                       [&] { form_.Request(msg); });
      break;
    }
    case IDC_LAYOUT_SET:
      ReadFields();
      AskSourceGuarded(TripletText(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET), hwnd(),
                       [&] { form_.Set(); });
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
  std::optional<std::string> caption;
  if (!AskSourceGuarded("MSG_GETCURRENT(ICAP_UNITS)", hwnd(),
                        [&] { caption = FrameCaptionWhenShown(TWAIN_State()); })) {
    return;
  }
  if (caption) SetItemText(IDC_LAYOUT_FRAME_BOX, caption->c_str());
}
