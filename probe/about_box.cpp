#include "probe/about_box.h"

#include <algorithm>

#include "pages/about_text.h"

BOOL AboutBox::OnInitDialog() {
  text_ = AboutText();
  return TRUE;
}

void AboutBox::OnCommand(int id, int) {
  if (id == IDOK || id == IDCANCEL) EndModal(id);
}

void AboutBox::EraseBackground(HDC dc) {
  RECT client;
  GetClientRect(hwnd(), &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_3DFACE));
  const int side = std::min(client.right - client.left, client.bottom - client.top);
  RECT textRect{client.left + side / 4, client.top + side / 10, client.right - side / 4,
                client.bottom - side / 10};
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd(), WM_GETFONT, 0, 0)));
  DrawTextA(dc, text_.c_str(), -1, &textRect, DT_WORDBREAK | DT_NOPREFIX);
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
