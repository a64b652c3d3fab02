#include "ui/progress/win32/info_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <utility>

#include "resources/progress_ids.h"
#include "ui/win32/common_controls.h"

namespace tolvex {

namespace {

// Where the progress bar lies, in pixels of the dialog's client area.
constexpr RECT kSearchBarRect = {7, 28, 7 + 394, 28 + 16};

}  // namespace

TInfoDialog::TInfoDialog(std::string caption) : ProgressDialog(std::move(caption)) {}

bool TInfoDialog::Create() {
  win32ui::LoadCommonControls(ICC_PROGRESS_CLASS);
  return CreateModeless(IDD_SEARCH_PROGRESS, nullptr);
}

bool TInfoDialog::OnInitDialog() {
  SetCaptionAndFonts(IDC_SEARCH_STATUS, IDC_SEARCH_STATUS);
  SetUpButton(IDCANCEL, IDB_CANCEL);
  const RECT& bar = kSearchBarRect;
  ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, bar.left, bar.top,
                    bar.right - bar.left, bar.bottom - bar.top, hwnd(),
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS_BAR)),
                    win32ui::ModuleInstance(), nullptr);
  return true;
}

void TInfoDialog::OnCommand(int id, int code, HWND) {
  if (id == IDCANCEL && code == BN_CLICKED) CancelPressed();
}

void TInfoDialog::ShowStatus(const std::string& text) {
  ::SetDlgItemTextA(hwnd(), IDC_SEARCH_STATUS, text.c_str());
}

void TInfoDialog::ShowRange(int minimum, int maximum) {
  ::SendMessageA(Item(IDC_PROGRESS_BAR), PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
}

void TInfoDialog::ShowPosition(int position) {
  ::SendMessageA(Item(IDC_PROGRESS_BAR), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void TInfoDialog::ShowWaitCursor(bool wait) {
  ::SetCursor(::LoadCursorA(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

}  // namespace tolvex
