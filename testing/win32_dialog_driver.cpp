#include "testing/win32_dialog_driver.h"

#include <commctrl.h>

#include <algorithm>

#include "testing/png_file.h"

#ifndef TOLVEX_ARTIFACT_DIR
#define TOLVEX_ARTIFACT_DIR "."
#endif

namespace tolvex {

namespace {

constexpr UINT kAnswerLimitMs = 5000;

LRESULT Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, bool* answered = nullptr) {
  DWORD_PTR result = 0;
  const LRESULT ok = ::SendMessageTimeoutA(window, message, wparam, lparam, SMTO_NORMAL,
                                           kAnswerLimitMs, &result);
  if (answered) *answered = ok != 0;
  return static_cast<LRESULT>(result);
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM found) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  char name[16] = {};
  ::GetClassNameA(window, name, sizeof name);
  if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) &&
      std::string(name) == "#32770") {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  }
  return TRUE;
}

BOOL CALLBACK FindUnpainted(HWND window, LPARAM found) {
  if (::IsWindowVisible(window) && ::GetUpdateRect(window, nullptr, FALSE)) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
  }
  return TRUE;
}

// True while the window or one of its children still waits to be painted.
bool AwaitsPainting(HWND window) {
  if (::GetUpdateRect(window, nullptr, FALSE)) return true;
  bool found = false;
  ::EnumChildWindows(window, &FindUnpainted, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Waits until the window's thread has painted it and its children: no
// window keeps an update region, and a message sent afterwards is answered
// (so a paint under way has ended). RDW_UPDATENOW alone does not wait for
// the children of a window on another thread.
void AwaitPainted(HWND window) {
  for (int i = 0; i < 1000 && AwaitsPainting(window); ++i) ::Sleep(5);
  Send(window, WM_NULL, 0, 0);
}

void MakeFolders(const std::string& path) {
  for (size_t at = 3; at < path.size(); ++at) {
    if (path[at] == '\\') ::CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  }
}

}  // namespace

// --- RunHold ---------------------------------------------------------------------

RunHold::RunHold()
    : held_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      released_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

RunHold::~RunHold() {
  ::CloseHandle(held_);
  ::CloseHandle(released_);
}

void RunHold::HoldHere(DWORD limit_ms) {
  ::SetEvent(held_);
  const DWORD start = ::GetTickCount();
  for (;;) {
    const DWORD waited = ::GetTickCount() - start;
    if (waited >= limit_ms) return;
    const DWORD woke =
        ::MsgWaitForMultipleObjects(1, &released_, FALSE, limit_ms - waited, QS_SENDMESSAGE);
    if (woke == WAIT_OBJECT_0) return;
    // Answers the messages sent from other threads; posted ones stay queued
    // for the run's next pump step.
    MSG message;
    ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

bool RunHold::WaitUntilHeld(DWORD limit_ms) {
  return ::WaitForSingleObject(held_, limit_ms) == WAIT_OBJECT_0;
}

void RunHold::Release() { ::SetEvent(released_); }

// --- DialogDriver ----------------------------------------------------------------

std::vector<HWND> DialogDriver::ProcessDialogs() {
  std::vector<HWND> found;
  ::EnumWindows(&CollectDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND DialogDriver::FindDialogWithItem(int id) {
  for (HWND dialog : ProcessDialogs()) {
    if (::GetDlgItem(dialog, id)) return dialog;
  }
  return nullptr;
}

std::string DialogDriver::WindowText(HWND window) {
  char text[1024] = {};
  bool answered = false;
  const LRESULT length = Send(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                              &answered);
  return answered ? std::string(text, std::min<size_t>(length, sizeof text - 1)) : "(no answer)";
}

ControlState DialogDriver::Control(HWND dialog, int id) {
  ControlState state;
  HWND control = ::GetDlgItem(dialog, id);
  if (!control) return state;
  state.exists = true;
  state.visible = ::IsWindowVisible(control) != FALSE;
  state.enabled = ::IsWindowEnabled(control) != FALSE;
  char name[64] = {};
  ::GetClassNameA(control, name, sizeof name);
  state.className = name;
  state.text = WindowText(control);
  state.style = ::GetWindowLongA(control, GWL_STYLE);
  ::GetWindowRect(control, &state.rect);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&state.rect), 2);
  return state;
}

RECT DialogDriver::TemplateRect(HWND dialog, int x, int y, int width, int height) {
  // The dialog manager converts the position and the size of a control
  // each on its own, so the far edge may lie a pixel beyond the mapped
  // edge x + width.
  RECT origin = {x, y, 0, 0};
  RECT size = {width, height, 0, 0};
  ::MapDialogRect(dialog, &origin);
  ::MapDialogRect(dialog, &size);
  return {origin.left, origin.top, origin.left + size.left, origin.top + size.top};
}

SIZE DialogDriver::ClientSize(HWND dialog) {
  RECT client = {};
  ::GetClientRect(dialog, &client);
  return {client.right, client.bottom};
}

int DialogDriver::ProgressPosition(HWND bar) {
  return static_cast<int>(Send(bar, PBM_GETPOS, 0, 0));
}

std::pair<int, int> DialogDriver::ProgressRange(HWND bar) {
  PBRANGE range = {};
  Send(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  return {range.iLow, range.iHigh};
}

bool DialogDriver::Click(HWND dialog, int id) {
  HWND button = ::GetDlgItem(dialog, id);
  if (!button) return false;
  bool answered = false;
  Send(button, BM_CLICK, 0, 0, &answered);
  return answered;
}

bool DialogDriver::SaveScreenshot(HWND window, const std::string& path) {
  RECT frame = {};
  if (!::GetWindowRect(window, &frame)) return false;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP picture = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(memory, picture);
  // The run thread answers WM_PAINT sent by RDW_UPDATENOW even while held;
  // the picture is then taken from the screen, frame and caption included.
  ::RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  AwaitPainted(window);
  const BOOL printed = ::BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top,
                                SRCCOPY);
  ::GdiFlush();
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  const auto* pixels = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; pixels && i < static_cast<size_t>(width) * height; ++i) {
    rgb[i * 3] = (pixels[i] >> 16) & 0xFF;
    rgb[i * 3 + 1] = (pixels[i] >> 8) & 0xFF;
    rgb[i * 3 + 2] = pixels[i] & 0xFF;
  }
  ::SelectObject(memory, old);
  ::DeleteObject(picture);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  MakeFolders(path);
  return printed && WritePng(path, width, height, rgb);
}

std::string ArtifactPath(const std::string& name) {
  std::string folder = TOLVEX_ARTIFACT_DIR;
  // A native path of the build host: under Wine the whole host file
  // system is drive Z:.
  if (!folder.empty() && folder[0] == '/') folder = "Z:" + folder;
  std::replace(folder.begin(), folder.end(), '/', '\\');
  return folder + "\\" + name;
}

}  // namespace tolvex
