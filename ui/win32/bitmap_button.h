// Push buttons that show a glyph left of their caption, and the loading of
// glyph bitmaps whose key colour stands for the button face.
#pragma once

#include "ui/win32/window_types.h"

namespace tolvex::win32ui {

// The key colour of the project's glyphs: olive (128, 128, 0).
inline constexpr COLORREF kFaceKey = 128 | 128 << 8 | 0 << 16;  // RGB(128, 128, 0)

// Loads bitmap resource `id` of `module` with every pixel of colour `key`
// turned into the current button-face colour. Palette bitmaps (up to 8
// bits per pixel) have the key replaced in their palette, 24- and 32-bit
// ones pixel by pixel. Null when the resource is missing or not a DIB.
HBITMAP LoadBitmapOnFace(HINSTANCE module, int id, COLORREF key = kFaceKey);

// Where a button shows its glyph: left of the caption, both centred side by
// side; or above it, each centred across the button, the glyph's top 7
// pixels and the caption's top 28 pixels below the button's top.
enum class GlyphPlacement { kBeside, kAbove };

// A push button of a dialog drawn by the dialog (BS_OWNERDRAW): the face,
// the glyph and the caption ("&" marks the mnemonic), the focus rectangle
// when it has the focus. A disabled button shows its disabled glyph when it
// has one, else the glyph greyed; its caption is greyed. Owns the glyphs.
class BitmapButton {
 public:
  BitmapButton() = default;
  ~BitmapButton();
  BitmapButton(const BitmapButton&) = delete;
  BitmapButton& operator=(const BitmapButton&) = delete;

  // Loads the glyph `bitmap_id` (and `disabled_bitmap_id` when not 0) of
  // `module` for button `id` of `dialog`, switches the button to owner
  // drawing and repaints it. False when the button or the glyph is missing
  // (the button then stays a plain one).
  bool Attach(HWND dialog, int id, HINSTANCE module, int bitmap_id, int disabled_bitmap_id = 0,
              GlyphPlacement placement = GlyphPlacement::kBeside);
  // Loads the glyphs again, for a new button face colour (WM_SYSCOLORCHANGE).
  bool Reload();
  // Draws the button for WM_DRAWITEM; false when the item is another control.
  bool Draw(const DRAWITEMSTRUCT& item) const;

  HWND button() const { return button_; }
  HBITMAP glyph() const { return glyph_; }
  HBITMAP disabled_glyph() const { return disabled_glyph_; }

 private:
  void Release();

  HWND button_ = nullptr;
  HINSTANCE module_ = nullptr;
  int bitmap_id_ = 0;
  int disabled_bitmap_id_ = 0;
  GlyphPlacement placement_ = GlyphPlacement::kBeside;
  HBITMAP glyph_ = nullptr;
  HBITMAP disabled_glyph_ = nullptr;
};

// Pixels between the glyph and the caption beside it.
inline constexpr int kGlyphGap = 4;
// With the glyph above the caption: their tops below the button's top.
inline constexpr int kGlyphTopAbove = 7;
inline constexpr int kCaptionTopAbove = 28;

}  // namespace tolvex::win32ui
