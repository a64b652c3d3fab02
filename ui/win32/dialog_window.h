// The base of every dialog of the library: a dialog made from a resource
// template and bound to one C++ object. The dialog procedure finds the
// object through DWLP_USER (set from WM_INITDIALOG's parameter) and hands
// each message to one switch of OnXxx handlers, which only decode the
// arguments; behaviour lives in the toolkit-free presenters.
#pragma once

#include "ui/win32/window_types.h"

namespace tolvex::win32ui {

class DialogWindow {
 public:
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;
  // Destroys the window if it is still there.
  virtual ~DialogWindow();

  // The window, or null before creation and after its destruction (also a
  // destruction the object did not start, such as a button's handler).
  HWND hwnd() const { return hwnd_; }
  bool IsOpen() const { return hwnd_ != nullptr; }
  HWND Item(int id) const;

 protected:
  DialogWindow() = default;

  // Creates the modeless dialog from template `template_id` of the module
  // that holds this code; OnInitDialog runs before it returns. False when
  // the window cannot be created (no display, template missing).
  bool CreateModeless(int template_id, HWND parent);
  // Runs the dialog modally until EndModal; its result, or -1 when the
  // dialog cannot be created.
  INT_PTR RunModal(int template_id, HWND parent);
  void EndModal(INT_PTR result);
  // Destroys a modeless dialog at once (the object stays).
  void Destroy();

  // --- Handlers, in the order of the switch ---
  // After the dialog manager's own setup. Return true to let it give the
  // focus to the first control.
  virtual bool OnInitDialog() { return true; }
  // WM_COMMAND: a button's BN_CLICKED and every other notification.
  virtual void OnCommand(int /*id*/, int /*code*/, HWND /*control*/) {}
  // WM_DRAWITEM of an owner-drawn control; true when it was drawn.
  virtual bool OnDrawItem(int /*id*/, const DRAWITEMSTRUCT& /*item*/) { return false; }
  // WM_DESTROY, while the controls still exist.
  virtual void OnDestroy() {}
  // Any message the switch does not name; the dialog procedure's result.
  virtual INT_PTR OnOtherMessage(UINT /*message*/, WPARAM /*wparam*/, LPARAM /*lparam*/) {
    return 0;  // FALSE
  }

 private:
  static INT_PTR __stdcall DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  HWND hwnd_ = nullptr;
  bool modal_ = false;
};

// The module this code is linked into (the DLL, or a program that links
// the engine statically): its resources hold the templates and bitmaps.
HINSTANCE ModuleInstance();

}  // namespace tolvex::win32ui
