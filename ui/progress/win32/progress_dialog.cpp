#include "ui/progress/win32/progress_dialog.h"

#include <windows.h>

#include <utility>

namespace tolvex {

ProgressDialog::ProgressDialog(std::string caption)
    : caption_(std::move(caption)),
      bold_(win32ui::kDialogFontFace, win32ui::kDialogFontPoints, FW_BOLD) {}

void ProgressDialog::SetCaptionAndFonts(int first_bold, int last_bold) {
  ::SetWindowTextA(hwnd(), caption_.c_str());
  for (int id = first_bold; id <= last_bold; ++id) bold_.ApplyTo(hwnd(), id);
}

void ProgressDialog::SetUpButton(int button_id, int bitmap_id) {
  button_.Attach(hwnd(), button_id, win32ui::ModuleInstance(), bitmap_id);
  bold_.ApplyTo(hwnd(), button_id);
}

bool ProgressDialog::OnDrawItem(int, const DRAWITEMSTRUCT& item) { return button_.Draw(item); }

}  // namespace tolvex
