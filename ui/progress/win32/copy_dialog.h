// The copy progress dialog on Windows: template 3000, the six value texts
// in the bold font, the percentage bar made in code and the Interrupt
// button with its glyph. It only draws what its presenter tells it and
// reports the button.
#pragma once

#include <string>

#include "ui/progress/copy_presenter.h"
#include "ui/progress/win32/progress_dialog.h"

namespace tolvex {

class TCopyDialog final : public ProgressDialog, public CopyDialogDisplay {
 public:
  explicit TCopyDialog(std::string caption);

  bool Create();

  bool IsOpen() const override { return hwnd() != nullptr; }
  void ShowField(CopyField field, const std::string& text) override;
  void ShowPercent(int percent) override;
  void EnableInterrupt(bool enabled) override;

 private:
  bool OnInitDialog() override;
  void OnCommand(int id, int code, HWND control) override;
};

// The control showing `field`.
int CopyFieldId(CopyField field);

}  // namespace tolvex
