// A tab page: a child dialog under the tab strip that follows the session's
// state through the window's refresh.
#pragma once

#include "probe/dialog_base.h"

class Page : public DialogBase {
 public:
  virtual void StateChanged(int newState, int shownState) = 0;
  // The Capabilities page's enumeration; other pages have none.
  virtual void EnumerateCapabilities() {}
  // The Images page's transfer; false while no page can transfer.
  virtual bool Transfer() { return false; }
};
