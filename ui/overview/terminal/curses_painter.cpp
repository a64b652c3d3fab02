#include "ui/overview/terminal/curses_painter.h"

#include <curses.h>
#include <term.h>

#include <algorithm>

#include "ui/overview/terminal_cells.h"

namespace tolvex::overview {

namespace {

attr_t CursesAttributes(unsigned attributes) {
  attr_t result = A_NORMAL;
  if (attributes & CursesPainter::kReverse) result |= A_REVERSE;
  if (attributes & CursesPainter::kDim) result |= A_DIM;
  if (attributes & CursesPainter::kBold) result |= A_BOLD;
  if (attributes & CursesPainter::kUnderline) result |= A_UNDERLINE;
  return result;
}

// A name never moves the cursor or sends a sequence to the terminal.
std::string Printable(std::string text) {
  for (char& c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return text;
}

}  // namespace

void CursesPainter::StartColours() {
  if (started_) return;
  started_ = true;
  if (has_colors() && start_color() == OK) {
    // Pair 0 stays the terminal's own colours for the other views.
    use_default_colors();
    colours_ = COLORS;
  }
}

int CursesPainter::Height() const { return LINES; }
int CursesPainter::Width() const { return COLS; }

void CursesPainter::PlaceCursor(int line, int column) { move(line, column); }

int CursesPainter::KeyCode(const char* capability) {
  char* sequence = tigetstr(const_cast<char*>(capability));
  if (!sequence || sequence == reinterpret_cast<char*>(-1)) return 0;
  const int code = key_defined(sequence);
  return code > 0 ? code : 0;
}

int CursesPainter::PairOf(uint32_t ink, uint32_t background) {
  StartColours();
  if (colours_ == 0) return 0;
  const std::pair<int, int> key{NearestTerminalColour(ink, colours_),
                                NearestTerminalColour(background, colours_)};
  const auto found = pairs_.find(key);
  if (found != pairs_.end()) return found->second;
  const int pair = static_cast<int>(pairs_.size()) + 1;
  if (pair >= COLOR_PAIRS || init_pair(static_cast<short>(pair), static_cast<short>(key.first),
                                       static_cast<short>(key.second)) != OK) {
    return 0;  // out of pairs: the terminal's own colours
  }
  pairs_[key] = pair;
  return pair;
}

void CursesPainter::Put(int line, int column, const std::string& text, uint32_t ink,
                        uint32_t background, unsigned attributes, int clip_left, int clip_right) {
  if (line < 0 || line >= LINES || text.empty()) return;
  const CellSpan span =
      PlaceText(text, column, column + CellWidth(text), Align::kLeft, std::max(0, clip_left),
                std::min(COLS, clip_right));
  if (span.text.empty()) return;
  const int pair = PairOf(ink, background);
  attr_t attrs = CursesAttributes(attributes);
  // Without colours the highlight shows as reverse video; grey text, which
  // few colours cannot show, as dim text.
  if (colours_ == 0 && background == SystemColourValue(kColourHighlight)) attrs |= A_REVERSE;
  if (colours_ < 256 && ink == SystemColourValue(kColourGrayText)) attrs |= A_DIM;
  attr_set(attrs, static_cast<short>(pair), nullptr);
  const std::string shown = Printable(span.text);
  mvaddnstr(line, span.column, shown.c_str(), static_cast<int>(shown.size()));
  attr_set(A_NORMAL, 0, nullptr);
}

void CursesPainter::Write(int line, int column, const std::string& text, const Colour& ink,
                          const Colour& background, unsigned attributes) {
  Put(line, column, text, ColourValue(ink), ColourValue(background), attributes, 0, COLS);
}

void CursesPainter::FillLine(int line, int column, const Colour& background) {
  if (column >= COLS) return;
  Write(line, column, std::string(static_cast<size_t>(COLS - column), ' '),
        Colour::System(kColourWindowText), background);
}

void CursesPainter::Paint(const std::vector<DrawOp>& ops, const Rect& clip) {
  int underlined = -1;  // the line a focus frame underlines
  for (const DrawOp& op : ops) {
    if (op.kind == DrawOp::Kind::kFocusFrame) underlined = op.rect.bottom - 1;
  }
  const auto attributes = [underlined](int line) { return line == underlined ? kUnderline : kPlain; };
  uint32_t background = SystemColourValue(kColourWindow);
  for (const DrawOp& op : ops) {
    switch (op.kind) {
      case DrawOp::Kind::kFill: {
        background = ColourValue(op.colour);
        const int width = op.rect.right - op.rect.left;
        if (width <= 0) break;
        for (int line = std::max(op.rect.top, clip.top); line < std::min(op.rect.bottom, clip.bottom);
             ++line) {
          Put(line, op.rect.left, std::string(static_cast<size_t>(width), ' '), background,
              background, attributes(line), clip.left, clip.right);
        }
        break;
      }
      case DrawOp::Kind::kImage: {
        if (op.rect.top < clip.top || op.rect.top >= clip.bottom) break;
        const Glyph glyph = GlyphOf(op.strip, op.image);
        Put(op.rect.top, op.rect.left, glyph.text, ColourValue(glyph.colour), ColourValue(op.colour),
            attributes(op.rect.top), clip.left, clip.right);
        break;
      }
      case DrawOp::Kind::kText: {
        if (op.rect.top < clip.top || op.rect.top >= clip.bottom) break;
        const CellSpan span =
            PlaceText(op.text, op.rect.left, op.rect.right, op.align, clip.left, clip.right);
        Put(op.rect.top, span.column, span.text, ColourValue(op.colour), background,
            attributes(op.rect.top), clip.left, clip.right);
        break;
      }
      case DrawOp::Kind::kFocusFrame:
        break;
    }
  }
}

}  // namespace tolvex::overview
