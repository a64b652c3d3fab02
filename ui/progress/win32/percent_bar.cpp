#include "ui/progress/win32/percent_bar.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "ui/win32/dialog_window.h"

namespace tolvex {

namespace {

struct BarState {
  int minimum = 0;
  int maximum = 100;
  int position = 0;
  HFONT font = nullptr;
};

BarState* StateOf(HWND bar) {
  return reinterpret_cast<BarState*>(::GetWindowLongPtrA(bar, GWLP_USERDATA));
}

void ShowText(HWND bar, const BarState& state) {
  char text[16];
  std::snprintf(text, sizeof text, "%lu%%", static_cast<unsigned long>(state.position));
  ::SetWindowTextA(bar, text);
}

void Paint(HWND bar, HDC dc, const BarState& state) {
  RECT frame;
  ::GetClientRect(bar, &frame);
  ::FrameRect(dc, &frame, ::GetSysColorBrush(COLOR_BTNSHADOW));
  RECT inside = frame;
  ::InflateRect(&inside, -1, -1);
  ::FillRect(dc, &inside, ::GetSysColorBrush(COLOR_WINDOW));
  RECT bar_area = inside;
  ::InflateRect(&bar_area, -1, -1);  // the 1-pixel margin

  const long long span = static_cast<long long>(state.maximum) - state.minimum;
  const long long done = static_cast<long long>(state.position) - state.minimum;
  const int width = bar_area.right - bar_area.left;
  RECT filled = bar_area;
  filled.right = bar_area.left + static_cast<int>(span > 0 ? width * done / span : 0);
  RECT rest = bar_area;
  rest.left = filled.right;

  char text[16] = {};
  const int length = ::GetWindowTextA(bar, text, sizeof text);
  HGDIOBJ old_font = state.font ? ::SelectObject(dc, state.font) : nullptr;
  SIZE extent = {0, 0};
  ::GetTextExtentPoint32A(dc, text, length, &extent);
  const int x = bar_area.left + (width - extent.cx) / 2;
  const int y = bar_area.top + (bar_area.bottom - bar_area.top - extent.cy) / 2;
  // The text is drawn twice, each time clipped to one part of the bar.
  ::SetBkColor(dc, ::GetSysColor(COLOR_HIGHLIGHT));
  ::SetTextColor(dc, ::GetSysColor(COLOR_HIGHLIGHTTEXT));
  ::ExtTextOutA(dc, x, y, ETO_CLIPPED | ETO_OPAQUE, &filled, text, length, nullptr);
  ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
  ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
  ::ExtTextOutA(dc, x, y, ETO_CLIPPED | ETO_OPAQUE, &rest, text, length, nullptr);
  if (old_font) ::SelectObject(dc, old_font);
}

// Returns the previous position, as PBM_SETPOS does.
LRESULT SetPosition(HWND bar, BarState* state, int position) {
  const int previous = state->position;
  const int clamped = std::clamp(position, state->minimum, state->maximum);
  if (clamped != previous) {
    state->position = clamped;
    ShowText(bar, *state);
    ::InvalidateRect(bar, nullptr, FALSE);
  }
  return previous;
}

LRESULT CALLBACK BarProc(HWND bar, UINT message, WPARAM wparam, LPARAM lparam) {
  BarState* state = StateOf(bar);
  switch (message) {
    case WM_NCCREATE:
      state = new BarState;
      ::SetWindowLongPtrA(bar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
      break;
    case WM_CREATE:
      ShowText(bar, *state);
      return 0;
    case WM_NCDESTROY:
      delete state;
      ::SetWindowLongPtrA(bar, GWLP_USERDATA, 0);
      break;
    case WM_SETFONT:
      if (state) state->font = reinterpret_cast<HFONT>(wparam);
      if (lparam) ::InvalidateRect(bar, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(state ? state->font : nullptr);
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(bar, &paint);
      if (state) Paint(bar, dc, *state);
      ::EndPaint(bar, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      if (state) Paint(bar, reinterpret_cast<HDC>(wparam), *state);
      return 0;
    case PBM_SETRANGE32:
      if (state) {
        const int minimum = static_cast<int>(wparam);
        const int maximum = static_cast<int>(lparam);
        state->minimum = minimum;
        state->maximum = maximum > minimum ? maximum : minimum + 1;
        SetPosition(bar, state, state->position);
        ::InvalidateRect(bar, nullptr, FALSE);
      }
      return 0;
    case PBM_SETPOS:
      return state ? SetPosition(bar, state, static_cast<int>(wparam)) : 0;
    case PBM_GETPOS:
      return state ? state->position : 0;
    case PBM_GETRANGE:
      if (!state) return 0;
      if (lparam) {
        auto* range = reinterpret_cast<PBRANGE*>(lparam);
        range->iLow = state->minimum;
        range->iHigh = state->maximum;
      }
      return wparam ? state->minimum : state->maximum;
    default:
      break;
  }
  return ::DefWindowProcA(bar, message, wparam, lparam);
}

}  // namespace

bool RegisterPercentBar() {
  static const bool registered = [] {
    WNDCLASSA bar_class = {};
    bar_class.lpfnWndProc = &BarProc;
    bar_class.hInstance = win32ui::ModuleInstance();
    bar_class.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    bar_class.lpszClassName = kPercentBarClass;
    return ::RegisterClassA(&bar_class) != 0 ||
           ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

HWND CreatePercentBar(HWND parent, int id, int x, int y, int width, int height) {
  if (!RegisterPercentBar()) return nullptr;
  return ::CreateWindowExA(0, kPercentBarClass, "", WS_CHILD | WS_VISIBLE, x, y, width, height,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           win32ui::ModuleInstance(), nullptr);
}

}  // namespace tolvex
