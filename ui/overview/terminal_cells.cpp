#include "ui/overview/terminal_cells.h"

#include <algorithm>

namespace tolvex::overview {

namespace {

bool Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The byte offset where character `index` begins (the end for index >= width).
size_t ByteOfCell(std::string_view text, int index) {
  int seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (Continuation(text[i])) continue;
    if (seen == index) return i;
    ++seen;
  }
  return text.size();
}

// Characters first..first+count-1 of `text`.
std::string Cells(std::string_view text, int first, int count) {
  if (count <= 0) return std::string();
  const size_t begin = ByteOfCell(text, first);
  const size_t end = ByteOfCell(text, first + count);
  return std::string(text.substr(begin, end - begin));
}

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return (b << 16) | (g << 8) | r; }

}  // namespace

int CellWidth(std::string_view text) {
  int width = 0;
  for (char c : text) {
    if (!Continuation(c)) ++width;
  }
  return width;
}

CellSpan PlaceText(std::string_view text, int left, int right, Align align, int clip_left,
                   int clip_right) {
  const int width = CellWidth(text);
  const int room = right - left;
  if (room <= 0) return {left, std::string()};
  // Where the whole text would begin, before clipping to the rectangle.
  int start = left;
  if (align == Align::kRight) start = right - width;
  if (align == Align::kCentre) start = left + (room - width) / 2;
  const int from = std::max({start, left, clip_left});
  const int to = std::min({start + width, right, clip_right});
  if (to <= from) return {from, std::string()};
  return {from, Cells(text, from - start, to - from)};
}

Glyph GlyphOf(Strip strip, int image) {
  const Colour ink = Colour::Value(Rgb(0, 0, 0));
  const Colour red = Colour::Value(Rgb(192, 0, 0));
  const Colour olive = Colour::Value(Rgb(128, 96, 0));
  const Colour grey = Colour::Value(Rgb(128, 128, 128));
  if (strip == Strip::kRows) {
    switch (image) {
      case 0: return {"[N]", olive};  // folder: the group is copied as planned
      case 1: return {"[I]", grey};
      case 2: return {"[E]", red};
      case 3: return {"> ", ink};  // white page: a copy into the destination tree
      case 4: return {"- ", grey};
      case 5: return {"x ", red};
      case 6: return {"<<", ink};  // inverted: into the source tree
      case 7: return {"< ", ink};  // black page: a copy into the source tree
      case 8: return {"- ", grey};
      case 9: return {"x ", red};
      case 10: return {">>", ink};  // inverted: into the destination tree
      case 11: return {"!", olive};  // size warning
      case 12: return {"*", red};    // counterpart changed since the last update
      default: break;
    }
  }
  return {"?", ink};
}

uint32_t SystemColourValue(int index) {
  switch (index) {
    case kColourWindow: return Rgb(255, 255, 255);
    case kColourWindowText: return Rgb(0, 0, 0);
    case kColourHighlight: return Rgb(0, 0, 128);
    case kColourHighlightText: return Rgb(255, 255, 255);
    case kColourButtonFace: return Rgb(192, 192, 192);
    case kColourGrayText: return Rgb(128, 128, 128);
    default: return Rgb(0, 0, 0);
  }
}

}  // namespace tolvex::overview
