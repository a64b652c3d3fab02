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

uint32_t ColourValue(const Colour& colour) {
  return colour.kind == Colour::Kind::kSystem ? SystemColourValue(static_cast<int>(colour.value))
                                              : colour.value & 0xFFFFFF;
}

namespace {

struct Rgb3 {
  int r, g, b;
};

Rgb3 Split(uint32_t colour) {
  return {static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
          static_cast<int>((colour >> 16) & 0xFF)};
}

int Distance(const Rgb3& a, const Rgb3& b) {
  return (a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b);
}

// xterm's values of the basic colours (black, red, green, yellow, blue,
// magenta, cyan, white, then the bright ones).
constexpr Rgb3 kBasic[16] = {{0, 0, 0},       {205, 0, 0},     {0, 205, 0},     {205, 205, 0},
                             {0, 0, 238},     {205, 0, 205},   {0, 205, 205},   {229, 229, 229},
                             {127, 127, 127}, {255, 0, 0},     {0, 255, 0},     {255, 255, 0},
                             {92, 92, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

int Nearest(const Rgb3& target, int count, int (*value_of)(int, Rgb3*)) {
  int best = 0, best_distance = -1;
  for (int index = 0; index < count; ++index) {
    Rgb3 candidate{};
    const int colour = value_of(index, &candidate);
    const int distance = Distance(target, candidate);
    if (best_distance < 0 || distance < best_distance) {
      best = colour;
      best_distance = distance;
    }
  }
  return best;
}

// The 6 x 6 x 6 cube (16 to 231) and the 24 greys (232 to 255).
int Xterm256(int index, Rgb3* value) {
  static constexpr int kLevels[6] = {0, 95, 135, 175, 215, 255};
  if (index < 216) {
    *value = {kLevels[index / 36], kLevels[(index / 6) % 6], kLevels[index % 6]};
    return 16 + index;
  }
  const int grey = 8 + 10 * (index - 216);
  *value = {grey, grey, grey};
  return 232 + (index - 216);
}

int Basic(int index, Rgb3* value) {
  *value = kBasic[index];
  return index;
}

}  // namespace

int NearestTerminalColour(uint32_t colour, int colours) {
  const Rgb3 target = Split(colour);
  if (colours >= 256) return Nearest(target, 216 + 24, Xterm256);
  if (colours < 16 && std::max({target.r, target.g, target.b}) - std::min({target.r, target.g, target.b}) < 32) {
    // Eight colours hold no middle grey (the nearest would be yellow): a grey
    // is black or white, whichever it is nearer to.
    return target.r + target.g + target.b < 3 * 160 ? 0 : 7;
  }
  return Nearest(target, colours >= 16 ? 16 : 8, Basic);
}

}  // namespace tolvex::overview
