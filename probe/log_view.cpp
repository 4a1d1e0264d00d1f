#include "probe/log_view.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>

#include "pages/log.h"
#include "platform/message_box.h"
#include "probe/resource_ids.h"
#include "probe/trace_control.h"
#include "session/triplet_calls.h"

namespace {

constexpr char kClassName[] = "VorrelLogView";
constexpr int kTextIndent = 4;

bool RegisterLogViewClass() {
  static const bool registered = [] {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = DefWindowProcA;  // replaced per window in Create
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    return RegisterClassA(&windowClass) != 0;
  }();
  return registered;
}

// Selects a GDI object into a context for one scope.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectedObject() { SelectObject(dc_, old_); }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDC() { ReleaseDC(window_, dc_); }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

}  // namespace

LogView::~LogView() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  if (font_) DeleteObject(font_);
  if (mirror_) std::fclose(mirror_);
  if (lockMade_) DeleteCriticalSection(&mirrorLock_);
}

bool LogView::Create(HWND parent, int id, const RECT& rect) {
  if (!RegisterLogViewClass()) return false;
  hwnd_ = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL, rect.left,
                          rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          GetModuleHandleA(nullptr), nullptr);
  if (!hwnd_) return false;
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
  UpdateScrollBar(true);
  return true;
}

void LogView::EnsureFont() {
  if (measured_ || !hwnd_) return;
  SetWindowLongA(hwnd_, GWL_STYLE, GetWindowLongA(hwnd_, GWL_STYLE) | WS_VSCROLL);
  font_ =
      CreateFontA(14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "MS San Serif");
  WindowDC dc(hwnd_);
  SelectedObject selected(dc.get(), font_);
  SIZE extent{};
  GetTextExtentPoint32A(dc.get(), "M", 1, &extent);
  charWidth_ = extent.cx;
  lineHeight_ = std::max<int>(1, extent.cy);
  measured_ = true;
}

RECT LogView::RowRect(int line) const {
  RECT rect;
  GetClientRect(hwnd_, &rect);
  rect.left += kTextIndent;
  rect.top += store_.RowOf(line) * lineHeight_;
  rect.bottom = rect.top + lineHeight_;
  return rect;
}

void LogView::UpdateScrollBar(bool range) {
  // One call, so the bar is redrawn once: under Wine each redraw costs milliseconds.
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_POS | (range ? SIF_RANGE : 0);
  info.nMin = 0;
  info.nMax = std::max(0, store_.count() - 1);
  info.nPos = store_.topLine();
  SetScrollInfo(hwnd_, SB_VERT, &info, TRUE);
}

void LogView::Write(const char* text, bool final) {
  if (!hwnd_) return;
  EnsureFont();
  const int countBefore = store_.count();
  const bool replacing = store_.lastProvisional();
  const LogStore::Update update = store_.Write(text, final);
  // Painting a line costs far more than keeping it: a burst of writes (a
  // capability scan's progress) is painted at a visible rate, and the lines
  // between wait for the next paint.
  const DWORD now = GetTickCount();
  if (painted_ && now - lastPaint_ < kRepaintIntervalMs) {
    // Once invalidated, the window stays so until it paints (which catches up).
    if (!behind_) InvalidateRect(hwnd_, nullptr, FALSE);
    behind_ = true;
    return;
  }
  painted_ = true;
  lastPaint_ = now;
  if (behind_) {
    CatchUp();
    return;
  }
  const bool rangeChanged = !replacing || store_.count() != countBefore;
  if (rangeChanged || update != LogStore::Update::kDrawLastRow) UpdateScrollBar(rangeChanged);
  if (update == LogStore::Update::kRepaintAll) {
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
    return;
  }
  if (update == LogStore::Update::kScrollThenDraw) {
    ScrollWindow(hwnd_, 0, -lineHeight_, nullptr, nullptr);
    UpdateWindow(hwnd_);
  }
  WindowDC dc(hwnd_);
  SelectedObject selected(dc.get(), font_);
  RECT row = RowRect(store_.count() - 1);
  RECT fill = row;
  fill.left -= kTextIndent;
  FillRect(dc.get(), &fill, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(dc.get(), TRANSPARENT);
  const std::string& line = store_.line(store_.count() - 1);
  DrawTextA(dc.get(), line.c_str(), static_cast<int>(line.size()), &row,
            DT_SINGLELINE | DT_NOPREFIX);
}

void LogView::WriteFinal(const char* text) {
  Write(text, true);
  MirrorLine(text);
}

void LogView::MirrorLine(const char* text) {
  if (!mirror_) return;
  EnterCriticalSection(&mirrorLock_);
  std::fputs(text, mirror_);
  std::fputs("\r\n", mirror_);
  std::fflush(mirror_);
  LeaveCriticalSection(&mirrorLock_);
}

void LogView::WriteProvisional(const char* text) {
  Write(text, false);
}

void LogView::MoveTopLine(int line) {
  if (!store_.MoveTopLine(line)) return;
  UpdateScrollBar(false);
  InvalidateRect(hwnd_, nullptr, FALSE);
  UpdateWindow(hwnd_);
}

void LogView::CatchUp() {
  behind_ = false;
  UpdateScrollBar(true);
  InvalidateRect(hwnd_, nullptr, FALSE);
  UpdateWindow(hwnd_);
}

void LogView::Paint() {
  if (behind_) {
    behind_ = false;
    UpdateScrollBar(true);
  }
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  EnsureFont();
  RECT client;
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  {
    SelectedObject selected(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    const int rows = (client.bottom - client.top + lineHeight_ - 1) / lineHeight_;
    const LogStore::Range visible = store_.Visible(rows);
    for (int i = visible.first; i < visible.last; ++i) {
      RECT row = RowRect(i);
      const std::string& line = store_.line(i);
      DrawTextA(dc, line.c_str(), static_cast<int>(line.size()), &row, DT_SINGLELINE | DT_NOPREFIX);
    }
  }
  EndPaint(hwnd_, &paint);
}

bool LogView::MirrorTo(const char* path) {
  if (!lockMade_) {
    InitializeCriticalSection(&mirrorLock_);
    lockMade_ = true;
  }
  if (mirror_) std::fclose(mirror_);
  mirror_ = std::fopen(path, "wb");
  return mirror_ != nullptr;
}

bool LogView::SaveTo(const char* path) const {
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const std::string text = store_.AllText();
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

bool LogView::CopyAllToClipboard() const {
  const std::string text = store_.AllText();
  if (!OpenClipboard(hwnd_)) return false;
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  bool copied = false;
  if (void* data = block ? GlobalLock(block) : nullptr) {
    std::memcpy(data, text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    copied = SetClipboardData(CF_TEXT, block) != nullptr;
  }
  if (!copied && block) GlobalFree(block);
  CloseClipboard();
  return copied;
}

namespace {

// The save dialog of the log's menu; false when the user cancelled.
bool AskSavePath(HWND owner, char (&path)[MAX_PATH], const char* filter, const char* extension) {
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter;
  dialog.lpstrFile = path;
  dialog.nMaxFile = sizeof(path);
  dialog.lpstrDefExt = extension;
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  return GetSaveFileNameA(&dialog) != FALSE;
}

}  // namespace

void LogView::ContextMenu(int x, int y) {
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, IDM_LOG_COPY_ALL, "Copy All");
  AppendMenuA(menu, MF_STRING, IDM_LOG_SAVE, "Save Log...");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, IDM_LOG_RECORD_TRACE, "Record Trace...");
  AppendMenuA(menu, MF_STRING | (TraceRecording() ? 0u : MF_GRAYED), IDM_LOG_STOP_TRACE,
              "Stop Recording");
  const int command =
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, hwnd_, nullptr);
  DestroyMenu(menu);
  RunMenuCommand(command);
}

void LogView::RunMenuCommand(int command) {
  const HWND owner = GetParent(hwnd_);
  if (command == IDM_LOG_COPY_ALL) {
    CopyAllToClipboard();
  } else if (command == IDM_LOG_SAVE) {
    char path[MAX_PATH] = "vorrel.log";
    if (AskSavePath(owner, path,
                    "Log files (*.log)\0*.log\0Text files (*.txt)\0*.txt\0All files\0*.*\0",
                    "log") &&
        !SaveTo(path)) {
      platform::InfoBox(owner, "The log could not be saved.", kProgramCaption);
    }
  } else if (command == IDM_LOG_RECORD_TRACE) {
    char path[MAX_PATH] = "vorrel_trace.txt";
    if (!AskSavePath(owner, path, "Session traces (*.txt)\0*.txt\0All files\0*.*\0", "txt")) return;
    if (StartTraceFile(path)) {
      LogNote("Recording a session trace into %s", path);
    } else {
      platform::InfoBox(owner, "The trace file could not be written.", kProgramCaption);
    }
  } else if (command == IDM_LOG_STOP_TRACE && TraceRecording()) {
    StopTraceFile();
    LogNote("Session trace ended");
  }
}

LRESULT CALLBACK LogView::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<LogView*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

LRESULT LogView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_VSCROLL: {
      constexpr struct {
        int code;
        ScrollRequest request;
      } kRequests[] = {{SB_LINEUP, ScrollRequest::kLineUp},
                       {SB_LINEDOWN, ScrollRequest::kLineDown},
                       {SB_PAGEUP, ScrollRequest::kPageUp},
                       {SB_PAGEDOWN, ScrollRequest::kPageDown},
                       {SB_TOP, ScrollRequest::kTop},
                       {SB_BOTTOM, ScrollRequest::kBottom},
                       {SB_THUMBPOSITION, ScrollRequest::kThumb},
                       {SB_THUMBTRACK, ScrollRequest::kThumb},
                       {SB_ENDSCROLL, ScrollRequest::kEnd}};
      for (const auto& row : kRequests) {
        if (row.code != LOWORD(wParam) || row.request == ScrollRequest::kEnd) continue;
        // The 32-bit thumb position: a long log outgrows the message's 16 bits.
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(hwnd_, SB_VERT, &info);
        MoveTopLine(ScrollTarget(store_, row.request, info.nTrackPos));
      }
      return 0;
    }
    case WM_CONTEXTMENU:
      ContextMenu(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return 0;
    default:
      return DefWindowProcA(hwnd_, message, wParam, lParam);
  }
}
