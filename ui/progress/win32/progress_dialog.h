// What both progress dialogs share: the caption "Tolvex 3.0 - <job>", the
// bold font they own, and their one push button with its glyph.
#pragma once

#include <string>

#include "ui/win32/bitmap_button.h"
#include "ui/win32/dialog_font.h"
#include "ui/win32/dialog_window.h"

namespace tolvex {

class ProgressDialog : public win32ui::DialogWindow {
 protected:
  // Creates the bold font ("MS Sans Serif", 8 points, weight 700).
  explicit ProgressDialog(std::string caption);

  // The setup both dialogs begin with: the caption, then the bold font on
  // each of the controls `first_bold` to `last_bold`.
  void SetCaptionAndFonts(int first_bold, int last_bold);
  // Loads glyph `bitmap_id` into button `button_id` and gives the button
  // the bold font.
  void SetUpButton(int button_id, int bitmap_id);
  const win32ui::DialogFont& bold() const { return bold_; }

 private:
  bool OnDrawItem(int id, const DRAWITEMSTRUCT& item) override;

  std::string caption_;
  win32ui::DialogFont bold_;
  win32ui::BitmapButton button_;
};

}  // namespace tolvex
