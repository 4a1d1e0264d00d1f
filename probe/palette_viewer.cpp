#include "probe/palette_viewer.h"

#include "probe/resource_ids.h"

namespace {
// The static "Empty Color Table" has no id of its own; it is the only one without.
constexpr int kEmptyTableText = -1;
}  // namespace

void PaletteSwatch::SetImage(DibHandle handle) {
  colors_ = SwatchColorsOf(handle);
  if (cells_.Create(kSwatchCells, kSwatchCells, 8, 0)) {
    for (int i = 0; i < 256; ++i) cells_.SetColor(i, colors_.colors[i]);
    for (int j = 0; j < kSwatchCells; ++j) {
      unsigned char row[kSwatchCells];
      for (int k = 0; k < kSwatchCells; ++k) row[k] = static_cast<unsigned char>(j * 16 + k);
      cells_.WriteRow(j, row);
    }
  }
  InvalidateRect(hwnd(), nullptr, FALSE);
}

LRESULT PaletteSwatch::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
      Click(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return 0;
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
      return 0;  // the click was handled on the way down
    default:
      return Original(message, wParam, lParam);
  }
}

void PaletteSwatch::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd(), &paint);
  RECT client;
  GetClientRect(hwnd(), &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const int cell = SwatchCellSize(client.right, client.bottom);
  if (cell > 0) {
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, 0, 0, client.right, client.bottom);
    cells_.Draw(dc, 0, 0, static_cast<unsigned>(cell), 1);
    RestoreDC(dc, saved);
    HPEN pen = CreatePen(PS_SOLID, 0, RGB(192, 192, 192));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const int side = kSwatchCells * cell;
    for (int at = 0; at <= side; at += cell) {
      MoveToEx(dc, at, 0, nullptr);
      LineTo(dc, at, side);
      MoveToEx(dc, 0, at, nullptr);
      LineTo(dc, side, at);
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);
  }
  EndPaint(hwnd(), &paint);
}

void PaletteSwatch::Click(int x, int y) {
  RECT client;
  GetClientRect(hwnd(), &client);
  const int index = SwatchIndexAt(x, y, SwatchCellSize(client.right, client.bottom));
  if (index < 0) return;
  selected_ = index;
  SendMessageA(GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(IDC_PALETTE_SWATCH, BN_CLICKED),
               reinterpret_cast<LPARAM>(hwnd()));
}

BOOL PaletteViewer::OnInitDialog() {
  swatch_.TakeOver(Item(IDC_PALETTE_SWATCH));
  return TRUE;
}

void PaletteViewer::Update(DibHandle handle) {
  const bool shown = SwatchShown(handle);
  if (shown) swatch_.SetImage(handle);
  const int show = shown ? SW_SHOWNA : SW_HIDE;
  ShowWindow(Item(IDC_PALETTE_SWATCH), show);
  ShowWindow(Item(IDC_PALETTE_ENTRY), show);
  ShowWindow(Item(kEmptyTableText), shown ? SW_HIDE : SW_SHOWNA);
}

void PaletteViewer::OnCommand(int id, int) {
  if (id != IDC_PALETTE_SWATCH) return;
  SetItemText(IDC_PALETTE_ENTRY, SwatchEntryText(swatch_.colors(), swatch_.selected()).c_str());
}
