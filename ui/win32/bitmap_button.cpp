#include "ui/win32/bitmap_button.h"

#include <cstring>
#include <string>
#include <vector>

namespace tolvex::win32ui {

namespace {

bool SameColour(const RGBQUAD& entry, COLORREF colour) {
  return entry.rgbRed == GetRValue(colour) && entry.rgbGreen == GetGValue(colour) &&
         entry.rgbBlue == GetBValue(colour);
}

void SetColour(BYTE* blue_green_red, COLORREF colour) {
  blue_green_red[0] = GetBValue(colour);
  blue_green_red[1] = GetGValue(colour);
  blue_green_red[2] = GetRValue(colour);
}

// Replaces the key in a copy of the DIB's header, palette and pixels.
void ReplaceKey(std::vector<BYTE>* dib, size_t palette_entries, COLORREF key, COLORREF face) {
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(dib->data());
  BYTE* after_header = dib->data() + header->biSize;
  if (header->biBitCount <= 8) {
    auto* palette = reinterpret_cast<RGBQUAD*>(after_header);
    for (size_t i = 0; i < palette_entries; ++i) {
      if (SameColour(palette[i], key)) SetColour(&palette[i].rgbBlue, face);
    }
    return;
  }
  const int step = header->biBitCount / 8;
  const LONG width = header->biWidth;
  const LONG height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  const size_t stride = ((static_cast<size_t>(width) * header->biBitCount + 31) / 32) * 4;
  BYTE* pixels = after_header + palette_entries * sizeof(RGBQUAD);
  for (LONG y = 0; y < height; ++y) {
    for (LONG x = 0; x < width; ++x) {
      BYTE* p = pixels + y * stride + x * step;
      if (p[0] == GetBValue(key) && p[1] == GetGValue(key) && p[2] == GetRValue(key)) {
        SetColour(p, face);
      }
    }
  }
}

}  // namespace

HBITMAP LoadBitmapOnFace(HINSTANCE module, int id, COLORREF key) {
  HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
  if (!found) return nullptr;
  HGLOBAL loaded = ::LoadResource(module, found);
  const DWORD size = ::SizeofResource(module, found);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data || size < sizeof(BITMAPINFOHEADER)) return nullptr;

  std::vector<BYTE> dib(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
  if (header->biSize < sizeof(BITMAPINFOHEADER) || header->biCompression != BI_RGB ||
      (header->biBitCount != 1 && header->biBitCount != 4 && header->biBitCount != 8 &&
       header->biBitCount != 24 && header->biBitCount != 32)) {
    return nullptr;
  }
  size_t palette_entries = 0;
  if (header->biBitCount <= 8) {
    palette_entries = header->biClrUsed ? header->biClrUsed : (size_t{1} << header->biBitCount);
  }
  const size_t bits_offset = header->biSize + palette_entries * sizeof(RGBQUAD);
  if (bits_offset >= dib.size()) return nullptr;
  ReplaceKey(&dib, palette_entries, key, ::GetSysColor(COLOR_BTNFACE));

  HDC screen = ::GetDC(nullptr);
  HBITMAP bitmap = ::CreateDIBitmap(screen, header, CBM_INIT, dib.data() + bits_offset,
                                    reinterpret_cast<BITMAPINFO*>(dib.data()), DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  return bitmap;
}

BitmapButton::~BitmapButton() {
  if (glyph_) ::DeleteObject(glyph_);
}

bool BitmapButton::Attach(HWND dialog, int id, HINSTANCE module, int bitmap_id) {
  button_ = ::GetDlgItem(dialog, id);
  if (!button_) return false;
  if (glyph_) ::DeleteObject(glyph_);
  glyph_ = LoadBitmapOnFace(module, bitmap_id);
  if (!glyph_) return false;
  // BM_SETSTYLE is the documented way to change a button's type after
  // creation; the button then asks its dialog to draw it (WM_DRAWITEM).
  ::SendMessageA(button_, BM_SETSTYLE, BS_OWNERDRAW, TRUE);
  ::InvalidateRect(button_, nullptr, TRUE);
  return true;
}

bool BitmapButton::Draw(const DRAWITEMSTRUCT& item) const {
  if (!button_ || item.hwndItem != button_) return false;
  HDC dc = item.hDC;
  RECT face = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  ::DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

  char caption[128] = {};
  const int length = ::GetWindowTextA(button_, caption, sizeof caption);
  HGDIOBJ old_font = ::SelectObject(
      dc, reinterpret_cast<HFONT>(::SendMessageA(button_, WM_GETFONT, 0, 0)));
  SIZE text = {0, 0};
  ::GetTextExtentPoint32A(dc, caption, length, &text);
  BITMAP glyph = {};
  if (glyph_) ::GetObjectA(glyph_, sizeof glyph, &glyph);

  const int content = glyph.bmWidth + (length > 0 ? kGlyphGap + text.cx : 0);
  const int shift = pushed ? 1 : 0;
  const int left = item.rcItem.left + (item.rcItem.right - item.rcItem.left - content) / 2 + shift;
  const int middle = (item.rcItem.top + item.rcItem.bottom) / 2 + shift;
  const UINT state = disabled ? DSS_DISABLED : DSS_NORMAL;
  if (glyph_) {
    ::DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(glyph_), 0, left,
                 middle - glyph.bmHeight / 2, glyph.bmWidth, glyph.bmHeight, DST_BITMAP | state);
  }
  if (length > 0) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    ::DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(caption), length,
                 left + glyph.bmWidth + kGlyphGap, middle - text.cy / 2, text.cx, text.cy,
                 DST_TEXT | state);
  }
  ::SelectObject(dc, old_font);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = item.rcItem;
    ::InflateRect(&focus, -4, -4);
    ::DrawFocusRect(dc, &focus);
  }
  return true;
}

}  // namespace tolvex::win32ui
