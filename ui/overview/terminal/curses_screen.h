// A full-screen ncurses session on the controlling terminal (/dev/tty), so
// that the overview shows also when standard input and output are files or
// pipes. The terminal is restored when the session ends, whichever way the
// overview ends.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/overview/row_layout.h"

namespace tolvex::overview {

class CursesScreen {
 public:
  // Null when the process has no controlling terminal or the terminal type
  // is unknown.
  static std::unique_ptr<CursesScreen> Open();
  ~CursesScreen();
  CursesScreen(const CursesScreen&) = delete;
  CursesScreen& operator=(const CursesScreen&) = delete;

  int height() const;
  int width() const;

  // The next key, waiting for it (ncurses key codes).
  int ReadKey();
  // The code of a key named by its terminfo capability ("kUP"), 0 if none.
  static int KeyCode(const char* capability);

  void Clear();
  void Show();  // puts the drawing on the terminal
  void PlaceCursor(int line, int column);

  // Draws the operations of one row, clipped to `clip`. A focus frame
  // underlines the row's last line (a terminal has no dotted frame).
  void Paint(const std::vector<DrawOp>& ops, const Rect& clip);
  // A text at a place, in a colour on a background, with extra attributes
  // (kReverse, kDim, kBold), clipped to the screen.
  enum Attribute : unsigned { kPlain = 0, kReverse = 1, kDim = 2, kBold = 4, kUnderline = 8 };
  void Write(int line, int column, const std::string& text, const Colour& ink,
             const Colour& background, unsigned attributes = kPlain);
  // Spaces on a background from `column` to the end of the line.
  void FillLine(int line, int column, const Colour& background);

 private:
  CursesScreen() = default;
  void Put(int line, int column, const std::string& text, uint32_t ink, uint32_t background,
           unsigned attributes, int clip_left, int clip_right);
  int PairOf(uint32_t ink, uint32_t background);

  std::FILE* terminal_ = nullptr;
  void* screen_ = nullptr;  // SCREEN*
  std::string saved_locale_;
  int colours_ = 0;
  std::map<std::pair<int, int>, int> pairs_;
};

}  // namespace tolvex::overview
