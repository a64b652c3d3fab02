// A font owned by a dialog object: created with the object, released with
// it.
#pragma once

#include "ui/win32/window_types.h"

namespace tolvex::win32ui {

class DialogFont {
 public:
  // `points` high on the screen: the character cell height is
  // MulDiv(points, vertical pixels per logical inch, 72).
  DialogFont(const char* face, int points, int weight);
  ~DialogFont();
  DialogFont(const DialogFont&) = delete;
  DialogFont& operator=(const DialogFont&) = delete;

  HFONT handle() const { return font_; }
  // Gives control `id` of `dialog` this font and repaints it.
  void ApplyTo(HWND dialog, int id) const;

 private:
  HFONT font_ = nullptr;
};

// The bold font of the progress and overview dialogs' value texts and
// buttons: "MS Sans Serif", 8 points, weight 700.
inline constexpr char kDialogFontFace[] = "MS Sans Serif";
inline constexpr int kDialogFontPoints = 8;

}  // namespace tolvex::win32ui
