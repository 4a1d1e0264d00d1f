#include "probe/check_report_page.h"

#include <cstdio>
#include <iterator>
#include <string>

#include "pages/check_page.h"
#include "pages/log.h"
#include "platform/message_box.h"
#include "platform/open_file_dialog.h"
#include "probe/resource_ids.h"
#include "session/triplet_calls.h"

namespace {

constexpr platform::FileFilter kReportFilters[] = {{"Text files (*.txt)", "*.txt"},
                                                   {"All files", "*.*"}};

}  // namespace

CheckReportPage::~CheckReportPage() {
  // The view goes before the font it was given.
  if (hwnd()) DestroyWindow(hwnd());
}

BOOL CheckReportPage::OnInitDialog() {
  SetWindowTextA(hwnd(), CheckPageCaption(result_).c_str());
  // The report lines its expected and came values up in columns.
  font_.reset(CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          FIXED_PITCH | FF_MODERN, "Courier New"));
  HFONT font = font_ ? font_.get() : static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
  SendItem(IDC_CHECK_REPORT_TEXT, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendItem(IDC_CHECK_REPORT_TEXT, EM_SETLIMITTEXT, 0, 0);
  SetItemText(IDC_CHECK_REPORT_TEXT, CheckPageText(result_).c_str());
  // Focus on the view would select the whole report.
  SetFocus(Item(IDCANCEL));
  return FALSE;
}

INT_PTR CheckReportPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    EndModal(IDCANCEL);
    return TRUE;
  }
  return DialogBase::OnMessage(message, wParam, lParam);
}

void CheckReportPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == IDCANCEL || id == IDOK) EndModal(id);
  if (id == IDC_CHECK_SAVE) AskAndSave();
}

void CheckReportPage::AskAndSave() {
  char path[MAX_PATH] = {};
  const std::string name = CheckReportFileName(result_);
  name.copy(path, sizeof(path) - 1);
  if (!platform::AskSaveFileName(hwnd(), kReportFilters, std::size(kReportFilters), "txt", path,
                                 sizeof(path)))
    return;
  if (SaveTo(path)) {
    LogNote("Check Source: the report was saved to %s", path);
  } else {
    platform::InfoBox(hwnd(), "The report could not be saved.", kProgramCaption);
  }
}

bool CheckReportPage::SaveTo(const char* path) const {
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const std::string text = CheckPageText(result_);
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}
