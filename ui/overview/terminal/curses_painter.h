// Drawing the overview on the current ncurses screen (the run's terminal
// session, which must exist before the first drawing): the rows' drawing
// operations in character cells, and texts in the colours of the dialog's
// scheme, mapped to what the terminal has.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/overview/row_layout.h"

namespace tolvex::overview {

class CursesPainter {
 public:
  int Height() const;
  int Width() const;
  void PlaceCursor(int line, int column);

  // Draws the operations of one row, clipped to `clip`. A focus frame
  // underlines the row's last line (a terminal has no dotted frame).
  void Paint(const std::vector<DrawOp>& ops, const Rect& clip);

  enum Attribute : unsigned { kPlain = 0, kReverse = 1, kDim = 2, kBold = 4, kUnderline = 8 };
  // A text at a place, in a colour on a background, clipped to the screen.
  void Write(int line, int column, const std::string& text, const Colour& ink,
             const Colour& background, unsigned attributes = kPlain);
  // Spaces on a background from `column` to the end of the line.
  void FillLine(int line, int column, const Colour& background);

  // The code of a key named by its terminfo capability ("kUP"), 0 if none.
  static int KeyCode(const char* capability);

 private:
  void Put(int line, int column, const std::string& text, uint32_t ink, uint32_t background,
           unsigned attributes, int clip_left, int clip_right);
  int PairOf(uint32_t ink, uint32_t background);
  // Starts the terminal's colours (when it has them) at the first drawing,
  // keeping the default colours for everything else drawn on the screen.
  void StartColours();

  bool started_ = false;
  int colours_ = 0;
  std::map<std::pair<int, int>, int> pairs_;
};

}  // namespace tolvex::overview
