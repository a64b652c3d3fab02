// Push buttons that show a glyph left of their caption, and the loading of
// glyph bitmaps whose key colour stands for the button face.
#pragma once

#include <windows.h>

namespace tolvex::win32ui {

// The key colour of the project's glyphs: olive (128, 128, 0).
inline constexpr COLORREF kFaceKey = RGB(128, 128, 0);

// Loads bitmap resource `id` of `module` with every pixel of colour `key`
// turned into the current button-face colour. Palette bitmaps (up to 8
// bits per pixel) have the key replaced in their palette, 24- and 32-bit
// ones pixel by pixel. Null when the resource is missing or not a DIB.
HBITMAP LoadBitmapOnFace(HINSTANCE module, int id, COLORREF key = kFaceKey);

// A push button of a dialog drawn by the dialog (BS_OWNERDRAW): the face,
// the glyph and the caption centred side by side, both greyed when the
// button is disabled, the focus rectangle when it has the focus. Owns the
// glyph bitmap.
class BitmapButton {
 public:
  BitmapButton() = default;
  ~BitmapButton();
  BitmapButton(const BitmapButton&) = delete;
  BitmapButton& operator=(const BitmapButton&) = delete;

  // Loads the glyph `bitmap_id` of `module` for button `id` of `dialog`,
  // switches the button to owner drawing and repaints it. False when the
  // button or the bitmap is missing (the button then stays a plain one).
  bool Attach(HWND dialog, int id, HINSTANCE module, int bitmap_id);
  // Draws the button for WM_DRAWITEM; false when the item is another control.
  bool Draw(const DRAWITEMSTRUCT& item) const;

  HWND button() const { return button_; }
  HBITMAP glyph() const { return glyph_; }

 private:
  HWND button_ = nullptr;
  HBITMAP glyph_ = nullptr;
};

// Pixels between the glyph and the caption.
inline constexpr int kGlyphGap = 4;

}  // namespace tolvex::win32ui
