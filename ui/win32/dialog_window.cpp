#include "ui/win32/dialog_window.h"

#include <windows.h>

namespace tolvex::win32ui {

HINSTANCE ModuleInstance() {
  HMODULE module = nullptr;
  ::GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ModuleInstance), &module);
  return module;
}

HWND DialogWindow::Item(int id) const { return hwnd_ ? ::GetDlgItem(hwnd_, id) : nullptr; }

DialogWindow::~DialogWindow() {
  if (hwnd_ && !modal_) ::DestroyWindow(hwnd_);
}

bool DialogWindow::CreateModeless(int template_id, HWND parent) {
  modal_ = false;
  // WM_INITDIALOG binds hwnd_; a failed creation leaves it null.
  ::CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(template_id), parent, &DialogProc,
                       reinterpret_cast<LPARAM>(this));
  return hwnd_ != nullptr;
}

INT_PTR DialogWindow::RunModal(int template_id, HWND parent) {
  modal_ = true;
  return ::DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(template_id), parent, &DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void DialogWindow::EndModal(INT_PTR result) {
  if (hwnd_ && modal_) ::EndDialog(hwnd_, result);
}

void DialogWindow::Destroy() {
  if (hwnd_ && !modal_) ::DestroyWindow(hwnd_);
}

INT_PTR CALLBACK DialogWindow::DialogProc(HWND hwnd, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<DialogWindow*>(lparam);
    ::SetWindowLongPtrA(hwnd, DWLP_USER, lparam);
    self->hwnd_ = hwnd;
    return self->HandleMessage(message, wparam, lparam);
  }
  // Messages before WM_INITDIALOG (WM_SETFONT) find no object yet.
  auto* self = reinterpret_cast<DialogWindow*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
  if (!self) return FALSE;
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
    self->hwnd_ = nullptr;
    return FALSE;
  }
  return self->HandleMessage(message, wparam, lparam);
}

INT_PTR DialogWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
      return TRUE;
    case WM_DRAWITEM:
      return OnDrawItem(static_cast<int>(wparam), *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam))
                 ? TRUE
                 : FALSE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    default:
      return OnOtherMessage(message, wparam, lparam);
  }
}

}  // namespace tolvex::win32ui
