#include "ui/win32/dialog_font.h"

#include <windows.h>

namespace tolvex::win32ui {

DialogFont::DialogFont(const char* face, int points, int weight) {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  // A positive height asks for the cell height, internal leading included.
  font_ = ::CreateFontA(::MulDiv(points, dpi, 72), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                        ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, face);
}

DialogFont::~DialogFont() {
  if (font_) ::DeleteObject(font_);
}

void DialogFont::ApplyTo(HWND dialog, int id) const {
  if (HWND control = ::GetDlgItem(dialog, id)) {
    ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  }
}

}  // namespace tolvex::win32ui
