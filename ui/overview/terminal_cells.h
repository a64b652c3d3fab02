// Texts and pictures of the overview on a character grid, free of any
// toolkit: how many cells a text takes, which part of it shows in a clipped
// and aligned rectangle, and the short glyphs that stand for the strips'
// images. Texts are UTF-8; each character takes one cell.
#pragma once

#include <string>
#include <string_view>

#include "ui/overview/row_layout.h"

namespace tolvex::overview {

// The number of characters (UTF-8 sequences) of `text`.
int CellWidth(std::string_view text);

// The part of `text` shown in cells left..right-1 with the alignment (left:
// its start; right: its end; centre: its middle), further clipped to the
// cells clip_left..clip_right-1. `column` is where the shown part begins.
struct CellSpan {
  int column = 0;
  std::string text;
  bool operator==(const CellSpan&) const = default;
};
CellSpan PlaceText(std::string_view text, int left, int right, Align align, int clip_left,
                   int clip_right);

// The glyph of a strip image: up to three cells and the colour it is drawn in
// (on the row's background).
struct Glyph {
  std::string text;
  Colour colour;
};
Glyph GlyphOf(Strip strip, int image);

// The colour values (0x00BBGGRR) the terminal shows for the system colours:
// the classic Windows scheme, so that a row looks as in the dialog.
uint32_t SystemColourValue(int index);
uint32_t ColourValue(const Colour& colour);

// The terminal colour nearest to a colour value: an index of the xterm
// palette when the terminal has 256 colours, else one of the 8 (or 16)
// basic colours (where a grey is black or white).
int NearestTerminalColour(uint32_t colour, int colours);

}  // namespace tolvex::overview
