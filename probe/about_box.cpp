#include "probe/about_box.h"

#include "imaging/image_file.h"
#include "pages/about_text.h"
#include "platform/memory.h"

BOOL AboutBox::OnInitDialog() {
  text_ = AboutText();
  char program[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  // A missing or unreadable logo leaves the box with its text only.
  if (length > 0 && length < MAX_PATH) logo_ = ImageFile_Load(LogoPath(program).c_str());
  return TRUE;
}

void AboutBox::OnDestroy() {
  platform::MemFree(logo_);
  logo_ = nullptr;
}

void AboutBox::OnCommand(int id, int) {
  if (id == IDOK || id == IDCANCEL) EndModal(id);
}

void AboutBox::EraseBackground(HDC dc) {
  // The dialog's own erase: its class has no background brush of its own.
  RECT client;
  GetClientRect(hwnd(), &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_3DFACE));
  const AboutLayout layout = LayOutAbout(client.right - client.left, client.bottom - client.top);
  if (logo_) {
    DIB_Draw(logo_, dc, layout.logo.left, layout.logo.top, layout.logo.right - layout.logo.left,
             layout.logo.bottom - layout.logo.top, 0, 0);
  }
  RECT text{layout.text.left, layout.text.top, layout.text.right, layout.text.bottom};
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd(), WM_GETFONT, 0, 0)));
  DrawTextA(dc, text_.c_str(), -1, &text, DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, oldFont);
}

INT_PTR AboutBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    EraseBackground(reinterpret_cast<HDC>(wParam));
    SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, TRUE);
    return TRUE;
  }
  if (message == WM_CLOSE) {
    EndModal(IDCANCEL);
    return TRUE;
  }
  return DialogBase::OnMessage(message, wParam, lParam);
}
