// The search and erase progress dialog on Windows: template 2000, the
// phase text, a standard progress bar made in code and the Cancel button
// with its glyph. It only draws what its presenter tells it and reports
// the button.
#pragma once

#include <string>

#include "ui/progress/search_presenter.h"
#include "ui/progress/win32/progress_dialog.h"

namespace tolvex {

// TInfoDialog is the search and erase progress dialog: the scan shows its
// phases in it, and the erase pass and the folder removal their gauges.
class TInfoDialog final : public ProgressDialog, public SearchDialogDisplay {
 public:
  // The window comes with Create.
  explicit TInfoDialog(std::string caption);

  // The modeless dialog, visible at once; false when it cannot be shown.
  bool Create();

  bool IsOpen() const override { return hwnd() != nullptr; }
  void ShowStatus(const std::string& text) override;
  void ShowRange(int minimum, int maximum) override;
  void ShowPosition(int position) override;
  void ShowWaitCursor(bool wait) override;
  void Close() override { Destroy(); }

 private:
  bool OnInitDialog() override;
  void OnCommand(int id, int code, HWND control) override;
};

}  // namespace tolvex
