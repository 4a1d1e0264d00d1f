#include "probe/image_view.h"

#include "probe/image_saving.h"
#include "probe/resource_ids.h"

void ImageView::SetImage(DibHandle handle) {
  image_.Attach(handle);
  InvalidateRect(hwnd(), nullptr, TRUE);
}

void ImageView::SetZoom(Zoom zoom) {
  zoom_ = zoom;
  InvalidateRect(hwnd(), nullptr, TRUE);
}

void ImageView::FitZoom() {
  RECT client{};
  GetClientRect(hwnd(), &client);
  SetZoom(::FitZoom(client.right, client.bottom, image_.Width(), image_.Height()));
}

LRESULT ImageView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painting fills everything
    case WM_NCHITTEST:
      return HTCLIENT;  // a static passes clicks through; the view takes them for its menu
    case WM_CONTEXTMENU:
      ContextMenu(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return 0;
    default:
      return Original(message, wParam, lParam);
  }
}

void ImageView::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd(), &paint);
  RECT client;
  GetClientRect(hwnd(), &client);
  HBRUSH gray = CreateSolidBrush(RGB(128, 128, 128));
  FillRect(dc, &client, gray);
  DeleteObject(gray);
  if (image_.Drawable()) {
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, 0, 0, client.right, client.bottom);
    image_.Draw(dc, 0, 0, static_cast<unsigned>(zoom_.numerator),
                static_cast<unsigned>(zoom_.denominator));
    RestoreDC(dc, saved);
  } else {
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(
        dc, reinterpret_cast<HFONT>(SendMessageA(GetParent(hwnd()), WM_GETFONT, 0, 0)));
    DrawTextA(dc, "no image", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
  }
  EndPaint(hwnd(), &paint);
}

void ImageView::ContextMenu(int x, int y) {
  if (image_.Check() != DibCheck::kOk) return;
  if (x == -1 && y == -1) {
    POINT corner{0, 0};
    ClientToScreen(hwnd(), &corner);
    x = corner.x;
    y = corner.y;
  }
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, IDM_IMAGE_SAVE, "Save Image...");
  const int command =
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, hwnd(), nullptr);
  DestroyMenu(menu);
  if (command == IDM_IMAGE_SAVE) AskAndSaveImage(GetParent(hwnd()), image_.Handle());
}
