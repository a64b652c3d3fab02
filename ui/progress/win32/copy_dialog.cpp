#include "ui/progress/win32/copy_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <utility>

#include "resources/progress_ids.h"
#include "ui/progress/win32/percent_bar.h"

namespace tolvex {

namespace {

// Where the percentage bar lies, in pixels of the dialog's client area.
constexpr RECT kCopyBarRect = {12, 95, 12 + 612, 95 + 22};

}  // namespace

int CopyFieldId(CopyField field) {
  switch (field) {
    case CopyField::kPath: return IDC_COPY_PATH;
    case CopyField::kSize: return IDC_COPY_SIZE;
    case CopyField::kStamp: return IDC_COPY_STAMP;
    case CopyField::kToPath: return IDC_COPY_TO_PATH;
    case CopyField::kToSize: return IDC_COPY_TO_SIZE;
    case CopyField::kToStamp: return IDC_COPY_TO_STAMP;
  }
  return 0;
}

TCopyDialog::TCopyDialog(std::string caption) : ProgressDialog(std::move(caption)) {}

bool TCopyDialog::Create() { return CreateModeless(IDD_COPY_PROGRESS, nullptr); }

bool TCopyDialog::OnInitDialog() {
  // The value texts are bold; the labels "Copying" and "to" keep the
  // template's font.
  SetCaptionAndFonts(IDC_COPY_PATH, IDC_COPY_TO_STAMP);
  SetUpButton(IDC_INTERRUPT, IDB_INTERRUPT);
  const RECT& bar = kCopyBarRect;
  HWND percent = CreatePercentBar(hwnd(), IDC_PROGRESS_BAR, bar.left, bar.top,
                                  bar.right - bar.left, bar.bottom - bar.top);
  if (percent) ::SendMessageA(percent, WM_SETFONT, reinterpret_cast<WPARAM>(bold().handle()), 0);
  return true;
}

void TCopyDialog::OnCommand(int id, int code, HWND) {
  if (id == IDC_INTERRUPT && code == BN_CLICKED) InterruptPressed();
}

void TCopyDialog::ShowField(CopyField field, const std::string& text) {
  ::SetDlgItemTextA(hwnd(), CopyFieldId(field), text.c_str());
}

void TCopyDialog::ShowPercent(int percent) {
  ::SendMessageA(Item(IDC_PROGRESS_BAR), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void TCopyDialog::EnableInterrupt(bool enabled) {
  ::EnableWindow(Item(IDC_INTERRUPT), enabled ? TRUE : FALSE);
}

}  // namespace tolvex
