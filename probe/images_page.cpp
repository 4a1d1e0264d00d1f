#include "probe/images_page.h"

#include <commctrl.h>

#include "caps/logged_operations.h"
#include "pages/image_tabs.h"
#include "platform/message_box.h"
#include "probe/resource_ids.h"
#include "probe/window_rect.h"
#include "session/triplet_calls.h"

namespace {

constexpr int kTabControls[] = {IDC_IMAGE_VIEW, IDC_ZOOM_TEXT, IDC_ZOOM_IN, IDC_ZOOM_OUT};

}  // namespace

BOOL ImagesPage::OnInitDialog() {
  view_.TakeOver(Item(IDC_IMAGE_VIEW));
  palette_.Create(IDD_PALETTE_VIEWER, hwnd());
  SendMessageA(Item(IDC_IMAGE_INFO), WM_SETFONT,
               reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FIXED_FONT)), FALSE);
  info_ = "no image";
  RebuildTabs();
  palette_.Update(nullptr);
  ShowZoom();
  return TRUE;
}

bool ImagesPage::Transfer() {
  return TransferByMechanism(*this, CurrentXferMech());
}

unsigned ImagesPage::RealizePalette(HDC context) const {
  return view_.RealizePalette(context);
}

void ImagesPage::Clear() {
  info_.clear();
  SetItemText(IDC_IMAGE_INFO, "");
  SetImage(nullptr);
}

void ImagesPage::SetImage(DibHandle handle) {
  SetItemText(IDC_IMAGE_INFO, "");
  image_.Attach(handle);
  view_.SetImage(handle);
  palette_.Update(handle);
  RebuildTabs();
  view_.FitZoom();
  ShowZoom();
}

void ImagesPage::SetInfoText(const std::string& text) {
  info_ = text;
  // A report without a picture (a failed memory transfer, a file not shown)
  // needs the Info tab too.
  RebuildTabs();
}

void ImagesPage::AppendInfoText(const std::string& text) {
  SetInfoText(info_ + text);
}

void ImagesPage::InfoBox(const char* text) {
  platform::InfoBox(GetParent(hwnd()), text, kProgramCaption);
}

void ImagesPage::RebuildTabs() {
  HWND tabs = Item(IDC_IMAGE_TABS);
  const int selected = static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
  SendMessageA(tabs, TCM_DELETEALLITEMS, 0, 0);
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>("Image");
  SendMessageA(tabs, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));

  const RECT plus = ClientRectOf(Item(IDC_ZOOM_IN), hwnd());
  SetWindowPos(palette_.hwnd(), HWND_TOP, plus.left, plus.bottom + 4, 0, 0,
               SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE);
  const RECT view = ClientRectOf(Item(IDC_IMAGE_VIEW), hwnd());
  SetWindowPos(Item(IDC_IMAGE_INFO), HWND_TOP, view.left, view.top, 0, 0,
               SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE);

  const ImageTabs shown = ImagePageTabs(image_.Handle() != nullptr, info_);
  if (shown.infoTab) {
    item.pszText = const_cast<char*>("Info");
    SendMessageA(tabs, TCM_INSERTITEMA, 1, reinterpret_cast<LPARAM>(&item));
  }
  info_ = shown.infoText;
  SetItemText(IDC_IMAGE_INFO, info_.c_str());
  const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
  SendMessageA(tabs, TCM_SETCURSEL, selected < 0 || selected >= count ? 0 : selected, 0);
  ShowWindow(tabs, SW_SHOWNA);
  ShowSelectedTab();
}

void ImagesPage::SelectTab(int index) {
  SendItem(IDC_IMAGE_TABS, TCM_SETCURSEL, index, 0);
  ShowSelectedTab();
}

void ImagesPage::ShowSelectedTab() {
  const bool imageTab = SendItem(IDC_IMAGE_TABS, TCM_GETCURSEL) == 0;
  for (int id : kTabControls) ShowWindow(Item(id), imageTab ? SW_SHOWNA : SW_HIDE);
  ShowWindow(Item(IDC_IMAGE_INFO), imageTab ? SW_HIDE : SW_SHOWNA);
}

void ImagesPage::ShowZoom() {
  SetItemText(IDC_ZOOM_TEXT, ZoomText(view_.zoom()).c_str());
  InvalidateRect(view_.hwnd(), nullptr, TRUE);
}

void ImagesPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == IDC_ZOOM_IN) {
    view_.SetZoom(ZoomIn(view_.zoom()));
    ShowZoom();
  } else if (id == IDC_ZOOM_OUT) {
    view_.SetZoom(ZoomOut(view_.zoom()));
    ShowZoom();
  }
}

INT_PTR ImagesPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == IDC_IMAGE_TABS && header->code == TCN_SELCHANGE) ShowSelectedTab();
    return TRUE;
  }
  return Page::OnMessage(message, wParam, lParam);
}
