// The running log at the bottom of the probe window: a custom-drawn,
// vertically scrolling list of lines kept in a LogStore. Painting draws only
// the rows that are visible, however long the log grows.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "pages/log_store.h"

class LogView {
 public:
  LogView() = default;
  ~LogView();
  LogView(const LogView&) = delete;
  LogView& operator=(const LogView&) = delete;

  bool Create(HWND parent, int id, const RECT& rect);
  HWND hwnd() const { return hwnd_; }
  const LogStore& store() const { return store_; }

  void WriteFinal(const char* text);
  // A final line already in the mirror: to the log alone.
  void WriteFinalUnmirrored(const char* text) { Write(text, true); }
  // The mirror alone, from any thread; written and flushed at once.
  void MirrorLine(const char* text);
  void WriteProvisional(const char* text);

  // Beyond the log itself: every final line also goes to this file as it is written.
  bool MirrorTo(const char* path);
  bool SaveTo(const char* path) const;
  bool CopyAllToClipboard() const;
  // An item of the log's menu: IDM_LOG_*.
  void RunMenuCommand(int command);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Write(const char* text, bool final);
  void EnsureFont();
  RECT RowRect(int line) const;
  void Paint();
  void MoveTopLine(int line);
  void UpdateScrollBar(bool range);
  void ContextMenu(int x, int y);
  // Brings the scroll bar and every row up to date after deferred writes.
  void CatchUp();

  static constexpr DWORD kRepaintIntervalMs = 50;

  HWND hwnd_ = nullptr;
  LogStore store_;
  HFONT font_ = nullptr;
  bool measured_ = false;
  int charWidth_ = 0;
  int lineHeight_ = 0;
  FILE* mirror_ = nullptr;
  CRITICAL_SECTION mirrorLock_{};
  bool lockMade_ = false;
  bool painted_ = false;  // a write has been painted at lastPaint_
  DWORD lastPaint_ = 0;
  bool behind_ = false;  // lines written since the last paint wait for WM_PAINT
};
