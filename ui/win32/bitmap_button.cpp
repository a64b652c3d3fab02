#include "ui/win32/bitmap_button.h"

#include <windows.h>

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

BitmapButton::~BitmapButton() { Release(); }

void BitmapButton::Release() {
  if (glyph_) ::DeleteObject(glyph_);
  if (disabled_glyph_) ::DeleteObject(disabled_glyph_);
  glyph_ = disabled_glyph_ = nullptr;
}

bool BitmapButton::Attach(HWND dialog, int id, HINSTANCE module, int bitmap_id,
                          int disabled_bitmap_id, GlyphPlacement placement) {
  button_ = ::GetDlgItem(dialog, id);
  if (!button_) return false;
  module_ = module;
  bitmap_id_ = bitmap_id;
  disabled_bitmap_id_ = disabled_bitmap_id;
  placement_ = placement;
  if (!Reload()) return false;
  // BM_SETSTYLE is the documented way to change a button's type after
  // creation; the button then asks its dialog to draw it (WM_DRAWITEM).
  ::SendMessageA(button_, BM_SETSTYLE, BS_OWNERDRAW, TRUE);
  ::InvalidateRect(button_, nullptr, TRUE);
  return true;
}

bool BitmapButton::Reload() {
  if (!button_) return false;
  Release();
  glyph_ = LoadBitmapOnFace(module_, bitmap_id_);
  if (disabled_bitmap_id_) disabled_glyph_ = LoadBitmapOnFace(module_, disabled_bitmap_id_);
  ::InvalidateRect(button_, nullptr, TRUE);
  return glyph_ != nullptr && (disabled_bitmap_id_ == 0 || disabled_glyph_ != nullptr);
}

namespace {

// The caption's width as shown: "&" marks the next character and takes no
// room ("&&" shows one "&").
SIZE CaptionExtent(HDC dc, const char* caption, int length) {
  std::string shown;
  for (int i = 0; i < length; ++i) {
    if (caption[i] == '&' && i + 1 < length) ++i;
    shown += caption[i];
  }
  SIZE text = {0, 0};
  ::GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &text);
  return text;
}

}  // namespace

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
  const SIZE text = CaptionExtent(dc, caption, length);
  HBITMAP shown = disabled && disabled_glyph_ ? disabled_glyph_ : glyph_;
  BITMAP glyph = {};
  if (shown) ::GetObjectA(shown, sizeof glyph, &glyph);

  const int shift = pushed ? 1 : 0;
  const int width = item.rcItem.right - item.rcItem.left;
  POINT glyph_at, caption_at;
  if (placement_ == GlyphPlacement::kAbove) {
    glyph_at = {item.rcItem.left + (width - glyph.bmWidth) / 2 + shift,
                item.rcItem.top + kGlyphTopAbove + shift};
    caption_at = {item.rcItem.left + (width - text.cx) / 2 + shift,
                  item.rcItem.top + kCaptionTopAbove + shift};
  } else {
    const int content = glyph.bmWidth + (length > 0 ? kGlyphGap + text.cx : 0);
    const int left = item.rcItem.left + (width - content) / 2 + shift;
    const int middle = (item.rcItem.top + item.rcItem.bottom) / 2 + shift;
    glyph_at = {left, middle - glyph.bmHeight / 2};
    caption_at = {left + glyph.bmWidth + kGlyphGap, middle - text.cy / 2};
  }
  // A disabled glyph of its own is shown as it is; otherwise greyed.
  const UINT glyph_state = disabled && !disabled_glyph_ ? DSS_DISABLED : DSS_NORMAL;
  if (shown) {
    ::DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(shown), 0, glyph_at.x, glyph_at.y,
                 glyph.bmWidth, glyph.bmHeight, DST_BITMAP | glyph_state);
  }
  if (length > 0) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    ::DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(caption), length, caption_at.x,
                 caption_at.y, text.cx, text.cy,
                 DST_PREFIXTEXT | (disabled ? DSS_DISABLED : DSS_NORMAL));
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
