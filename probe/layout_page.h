// The "Layout" tab: reads, sets and resets the Source's TW_IMAGELAYOUT and
// shows its frame in the Source's current units.
#pragma once

#include "pages/layout_form.h"
#include "probe/page.h"

class LayoutPage : public Page {
 public:
  void StateChanged(int newState, int shownState) override;

 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnCommand(int id, int code) override;

 private:
  void ReadFields();
  void ShowFields(const LayoutFields& fields);
  void UpdateCaption();

  LayoutForm form_;
};
