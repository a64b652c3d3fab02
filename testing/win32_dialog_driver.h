// Drives this process's real dialogs from a second thread, as a user at the
// screen would, while the test's main thread runs the code that shows them
// (CallUpdate). Windows only (the tests run it under Wine on a virtual X
// display).
//
// The run thread is held at a chosen platform call (HoldingPlatform) with
// RunHold::HoldHere, which keeps answering the messages other threads send
// it (reading a text, a click, a picture) but takes no posted message off
// its queue: between two of the run's own pump steps, as in real use. The
// driver thread waits with WaitUntilHeld, reads and clicks, and lets the
// run go on with Release.
//
// Every message to the dialogs goes through SendMessageTimeout: a plain
// SendMessage would wait for ever if the run thread were not answering.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tolvex {

// Meeting point of the held run thread and the driver thread.
class RunHold {
 public:
  RunHold();
  ~RunHold();
  RunHold(const RunHold&) = delete;
  RunHold& operator=(const RunHold&) = delete;

  // Run thread: announces the hold and answers sent messages until
  // Release (or `limit_ms`, after which the run goes on and the driver's
  // next wait fails).
  void HoldHere(DWORD limit_ms = 30000);
  // Driver thread: true once the run is held (false after `limit_ms`).
  bool WaitUntilHeld(DWORD limit_ms = 30000);
  void Release();

 private:
  HANDLE held_;
  HANDLE released_;
};

// A control's state as the driver reads it.
struct ControlState {
  bool exists = false;
  bool visible = false;
  bool enabled = false;
  std::string className;
  std::string text;
  LONG style = 0;
  RECT rect = {0, 0, 0, 0};  // in the dialog's client coordinates
};

class DialogDriver {
 public:
  // This process's visible top-level dialogs (class #32770), topmost first.
  static std::vector<HWND> ProcessDialogs();
  // The one visible dialog of this process that has a control `id`, or null.
  static HWND FindDialogWithItem(int id);

  static std::string WindowText(HWND window);
  static ControlState Control(HWND dialog, int id);
  // The rectangle `x, y, width, height` of a template, in dialog units, as
  // pixels of `dialog`: position and size each through MapDialogRect, as
  // the dialog manager places the control.
  static RECT TemplateRect(HWND dialog, int x, int y, int width, int height);
  // The client size of the dialog.
  static SIZE ClientSize(HWND dialog);
  // A progress bar's position and range (PBM_GETPOS, PBM_GETRANGE).
  static int ProgressPosition(HWND bar);
  static std::pair<int, int> ProgressRange(HWND bar);

  // Clicks button `id` as a user would (BM_CLICK: the button pressed and
  // released, BN_CLICKED to the dialog). False when it did not answer.
  static bool Click(HWND dialog, int id);

  // Saves the window with its frame and caption as a PNG file: the window
  // is repainted (its thread answers the sent WM_PAINT even while held)
  // and copied from the screen. The folder is created when missing.
  static bool SaveScreenshot(HWND window, const std::string& path);
};

// Folder for test artifacts: TOLVEX_ARTIFACT_DIR of the build (a native
// path, under Wine reached through Z:), plus `name`.
std::string ArtifactPath(const std::string& name);

}  // namespace tolvex
