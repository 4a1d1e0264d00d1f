#include "probe/source_identity_page.h"

#include "pages/source_identity_report.h"
#include "probe/resource_ids.h"

BOOL SourceIdentityPage::OnInitDialog() {
  SendMessageA(Item(IDC_IDENTITY_REPORT), WM_SETFONT,
               reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FIXED_FONT)), FALSE);
  return TRUE;
}

void SourceIdentityPage::StateChanged(int newState, int shownState) {
  if (auto text = SourcePageText(newState, shownState)) {
    SetItemText(IDC_IDENTITY_REPORT, text->c_str());
  }
}
