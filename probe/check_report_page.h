// Check Source's report page: the pass's report, score first, in a
// read-only fixed-pitch view, with "Save Report..." and "Close".
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

#include "checks/conformance.h"
#include "probe/dialog_base.h"

class CheckReportPage : public DialogBase {
 public:
  explicit CheckReportPage(const CheckResult& result) : result_(result) {}
  ~CheckReportPage() override;

  // Writes the report as the page shows it; false when it cannot be written.
  bool SaveTo(const char* path) const;

 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnCommand(int id, int code) override;

 private:
  struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
  };
  void AskAndSave();

  const CheckResult& result_;
  std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> font_;
};
