// A child window's rectangle in its parent's client coordinates.
#pragma once

#include <windows.h>

inline RECT ClientRectOf(HWND child, HWND parent) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}
