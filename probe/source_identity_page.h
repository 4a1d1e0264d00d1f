// The "Source" tab: the open Source's TW_IDENTITY as a fixed-width report.
#pragma once

#include "probe/page.h"

class SourceIdentityPage : public Page {
 public:
  void StateChanged(int newState, int shownState) override;

 protected:
  BOOL OnInitDialog() override;
};
