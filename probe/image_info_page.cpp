#include "probe/image_info_page.h"

#include "pages/fault_note.h"
#include "pages/image_info_report.h"
#include "probe/resource_ids.h"
#include "vocab/triplet_text.h"

BOOL ImageInfoPage::OnInitDialog() {
  SendMessageA(Item(IDC_IMAGE_INFO_REPORT), WM_SETFONT,
               reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FIXED_FONT)), FALSE);
  return TRUE;
}

void ImageInfoPage::StateChanged(int newState, int shownState) {
  if (auto enabled = ImageInfoGetEnabled(newState, shownState))
    EnableWindow(Item(IDC_IMAGE_INFO_GET), *enabled);
}

void ImageInfoPage::OnCommand(int id, int code) {
  if (id != IDC_IMAGE_INFO_GET || code != BN_CLICKED) return;
  SetItemText(IDC_IMAGE_INFO_REPORT, "");
  std::optional<std::string> report;
  AskSourceGuarded(TripletText(DG_IMAGE, DAT_IMAGEINFO, MSG_GET), hwnd(),
                   [&] { report = ImageInfoGet(); });
  if (report) SetItemText(IDC_IMAGE_INFO_REPORT, report->c_str());
}
